#pragma once
// What one run of a plug-in showed and changed: the human report printed as
// the run goes, and the machine-readable JSON report written at the end.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/cli/maps_table.h"
#include "standin/cli/terminal_text.h"
#include "standin/files/parameter_warnings.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"

namespace nimbrel {

// What starts each trace line on standard error.
std::string tracePrefix(const Marks& marks);

// What the JSON report keeps of a run's events and calls, the first so many.
inline constexpr std::size_t kReportedEvents = 10000;
inline constexpr std::size_t kReportedCalls = 100000;

// Everything a report says about one run.
struct RunRecord {
    std::string pluginPath;
    std::optional<std::string> workspacePath;  // none: the empty workspace
    RunOutcome outcome;
    std::vector<HostEvent> events;
    std::size_t eventsLeftOut = 0;  // after those in events
    std::vector<std::string> calls;
    std::size_t callsLeftOut = 0;  // after those in calls
    std::vector<std::string> unprovidedCalls;
    int redraws = 0;
    std::vector<VolumeMap> mapsBefore;
    std::vector<VolumeMap> mapsAfter;
    std::vector<ParameterWarning> warnings;  // before the run's, then after it
};

// The version of the JSON report's format (FORMATS.md), its first field.
inline constexpr int kReportFormatVersion = 1;

nlohmann::ordered_json reportJson(const RunRecord& run);

// Where the values of the report's "  label       " lines begin.
inline const std::string kValueIndent(14, ' ');

// The human report, written to out piece by piece.
class ConsolePrinter {
public:
    // Draws with marks: kUtf8Marks, or kAsciiMarks for a terminal that does not
    // take UTF-8; fits the maps table to width columns (0: any width).
    explicit ConsolePrinter(std::ostream& out, const Marks& marks = kUtf8Marks, std::size_t width = 0)
        : out_(out), marks_(marks), width_(width) {}

    // The columns the report fits its lines to (0: any width).
    std::size_t width() const { return width_; }
    // parametersChecked: whether a dialog script's declarations checked the parameters.
    void header(const std::string& pluginPath, const std::optional<std::string>& workspacePath,
                const Workspace& workspace, const PluginDescriptors& descriptors, bool parametersChecked);
    // One log line or message box, as it happens.
    void event(const HostEvent& event);
    void outcome(const RunOutcome& outcome, int redraws);
    // The warnings the run itself gave (those about what it read).
    void warnings(const std::vector<ParameterWarning>& warnings);
    void maps(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after);

private:
    // One line of the report, folded to the width, its parts after the first
    // starting with indent.
    void put(const std::string& line, const std::string& indent = kValueIndent);
    std::ostream& out_;
    const Marks& marks_;
    std::size_t width_;
    bool runStarted_ = false;
};

// A message box as the human report draws it, a line each, fitted to width
// columns (0: any width).
std::string messageBoxText(const std::string& text, const Marks& marks, std::size_t width = 0);

// Items two blanks apart, at most 84 columns of them a line (fewer where the
// lines would be wider than width), each new line starting at the value
// column of the report's "  label       " lines.
std::string wrapItems(const std::vector<std::string>& items, std::size_t width = 0);

}  // namespace nimbrel
