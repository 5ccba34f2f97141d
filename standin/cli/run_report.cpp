#include "standin/cli/run_report.h"

#include <algorithm>
#include <sstream>

#include "standin/cli/terminal_text.h"
#include "standin/files/dialog_script.h"
#include "standin/files/workspace_json.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;

// Every line of a text; a text without a line break is one line.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) result.push_back(line);
    if (result.empty()) result.push_back("");
    return result;
}

// Where the values of the header's and the result's lines begin.
const std::string kResultIndent(16, ' ');

std::string yesNo(bool value) {
    return value ? "true" : "false";
}

// The hostile modes that are on, one phrase each.
std::vector<std::string> hostileModes(const HostileModes& h) {
    std::vector<std::string> modes;
    if (!h.nullRecordIndices.empty()) {
        std::string maps;
        for (int32_t index : h.nullRecordIndices)
            maps += (maps.empty() ? "" : ", ") + std::to_string(static_cast<int64_t>(index) + 1);
        modes.push_back("no record for map" + std::string(h.nullRecordIndices.size() == 1 ? " " : "s ") + maps);
    }
    if (h.randomNullRecords) {
        std::ostringstream mode;
        mode << "no record at random (chance " << h.randomNullRecords->chance << ", seed " << h.randomNullRecords->seed
             << ")";
        modes.push_back(mode.str());
    }
    if (h.reportedMapCount) modes.push_back("says it has " + std::to_string(*h.reportedMapCount) + " maps");
    if (h.unterminatedStrings) modes.push_back("text parameters fill all 512 bytes with no terminator");
    if (h.mapCreationFails) modes.push_back("cannot create a map");
    if (h.nullMapNames) modes.push_back("records come with no name storage");
    if (h.reportedDocumentCount)
        modes.push_back("says it has " + std::to_string(*h.reportedDocumentCount) + " documents");
    return modes;
}

}  // namespace

std::string tracePrefix(const Marks& marks) {
    return std::string("  trace ") + marks.bar + " ";
}

std::string wrapItems(const std::vector<std::string>& items, std::size_t width) {
    // 84 columns of items after the label.
    const std::size_t kLineWidth = columns(kValueIndent) + 84;
    const std::size_t lineWidth = width > 0 ? std::min(width, kLineWidth) : kLineWidth;
    std::string text;
    std::size_t column = columns(kValueIndent);
    for (const std::string& item : items) {
        if (column > columns(kValueIndent) && column + 2 + columns(item) > lineWidth) {
            text += std::string("\n") + kValueIndent;
            column = columns(kValueIndent);
        } else if (column > columns(kValueIndent)) {
            text += "  ";
            column += 2;
        }
        text += item;
        column += columns(item);
    }
    return text;
}

void ConsolePrinter::put(const std::string& line, const std::string& indent) {
    out_ << fitLines(line, width_, indent) << "\n";
}

void ConsolePrinter::header(const std::string& pluginPath, const std::optional<std::string>& workspacePath,
                            const Workspace& workspace, const PluginDescriptors& descriptors, bool parametersChecked) {
    out_ << "Nimbrel.exe stand-in host\n";
    put("  plug-in     " + visible(pluginPath));
    put("  workspace   " + (workspacePath ? visible(*workspacePath) : std::string("(none: an empty workspace)")));
    if (!workspace.description.empty()) put(kValueIndent + shortened(visible(workspace.description), marks_));
    const HostVersion& v = workspace.version;
    std::ostringstream host;
    host << "  host        version " << v.major << "." << v.minor << "." << v.release << ", "
         << workspace.documents.size() << (workspace.documents.size() == 1 ? " document" : " documents") << ", ";
    const int32_t current = workspace.currentDocument;
    if (current < 0 || static_cast<std::size_t>(current) >= workspace.documents.size()) {
        host << "no current document";
    } else {
        const Document& d = workspace.documents[static_cast<std::size_t>(current)];
        std::string type = documentTypeText(d.type);
        host << "current \"" << visible(d.name) << "\" (" << (type.empty() ? "type " + std::to_string(d.type) : type)
             << ", id " << current << ")";
    }
    host << ", " << workspace.maps.size() << (workspace.maps.size() == 1 ? " map" : " maps");
    put(host.str());
    const std::vector<std::string> modes = hostileModes(workspace.hostile);
    for (std::size_t i = 0; i < modes.size(); ++i) put((i == 0 ? "  hostile     " : kValueIndent) + modes[i]);

    std::vector<std::string> items;
    for (const auto& [name, p] : workspace.parameters)
        items.push_back(visible(name) + "=" +
                        (p.kind == Parameter::Kind::Text ? "\"" + shortened(visible(p.text), marks_) + "\""
                                                         : parameterValueText(p)));
    const std::string parameters = wrapItems(items, width_);
    put("  parameters  " + (parameters.empty() ? std::string("(none)") : parameters));
    if (!parametersChecked)
        put(kValueIndent + std::string("taken as given: no dialog script declares their names and types"));
    out_ << "\n";

    out_ << "Plug-in descriptors\n";
    for (const DescriptorExport& descriptor : kDescriptorExports) {
        const std::optional<std::string>& text = descriptors.*descriptor.text;
        put("  " + padRight(descriptor.name, 22) +
                (text ? shortened(visible(*text), marks_) : std::string("(not exported, or null)")),
            std::string(24, ' '));
    }
    out_ << std::flush;
}

std::string messageBoxText(const std::string& text, const Marks& marks, std::size_t width) {
    const std::string bar = std::string("  ") + marks.bar + " ";
    std::string box = std::string("  ") + marks.topLeft + marks.rule + " MESSAGE BOX " + repeated(marks.rule, 8) + "\n";
    for (const std::string& line : lines(text))
        box += fitLines(bar + shortened(visible(line), marks), width, bar) + "\n";
    return box + "  " + marks.bottomLeft + repeated(marks.rule, 22) + "\n";
}

void ConsolePrinter::event(const HostEvent& event) {
    if (!runStarted_) {
        out_ << "\nRun\n";
        runStarted_ = true;
    }
    if (event.kind == HostEvent::Kind::Log) {
        for (const std::string& line : lines(event.text))
            put(std::string("  log ") + marks_.bar + " " + shortened(visible(line), marks_),
                std::string("      ") + marks_.bar + " ");
    } else {
        out_ << messageBoxText(event.text, marks_, width_);
    }
    out_ << std::flush;
}

void ConsolePrinter::outcome(const RunOutcome& outcome, int redraws) {
    out_ << "\nResult\n";
    if (!outcome.created) {
        put("  createPlugin  returned null: no plug-in object, nothing ran", kResultIndent);
        return;
    }
    put("  initPlugin    " + yesNo(outcome.initialised), kResultIndent);
    put("  execute       " +
            (outcome.executed ? yesNo(*outcome.executed) : std::string("not called (initPlugin returned false)")),
        kResultIndent);
    put("  redraws       " + std::to_string(redraws), kResultIndent);
}

void ConsolePrinter::warnings(const std::vector<ParameterWarning>& warnings) {
    for (const ParameterWarning& warning : warnings)
        if (warning.kind != ParameterWarning::Kind::OutsideChoices)
            put("  warning       " + visible(warning.text), kResultIndent);
    out_ << std::flush;
}

void ConsolePrinter::maps(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after) {
    out_ << "\n";
    put(std::string("Maps of the current VMR (a change shows as before") + marks_.arrow + "after)", "  ");
    const std::size_t tableWidth = width_ > 2 ? width_ - 2 : 0;  // within the report's indent
    for (const std::string& line : lines(mapsTable(before, after, marks_, tableWidth))) out_ << "  " << line << "\n";
    out_ << std::flush;
}

json reportJson(const RunRecord& run) {
    json report;
    report["formatVersion"] = kReportFormatVersion;
    report["plugin"] = run.pluginPath;
    report["workspace"] = run.workspacePath ? json(*run.workspacePath) : json(nullptr);
    json descriptors = json::object();
    for (const DescriptorExport& descriptor : kDescriptorExports) {
        const std::optional<std::string>& text = run.outcome.descriptors.*descriptor.text;
        descriptors[descriptor.name] = text ? json(*text) : json(nullptr);
    }
    report["descriptors"] = descriptors;
    report["created"] = run.outcome.created;
    report["initPlugin"] = run.outcome.initialised;
    report["execute"] = run.outcome.executed ? json(*run.outcome.executed) : json(nullptr);
    json events = json::array();
    json log = json::array();
    json messages = json::array();
    for (const HostEvent& event : run.events) {
        const bool isLog = event.kind == HostEvent::Kind::Log;
        events.push_back({{"kind", isLog ? "log" : "message"}, {"text", event.text}});
        (isLog ? log : messages).push_back(event.text);
    }
    report["events"] = events;
    report["log"] = log;
    report["messages"] = messages;
    report["eventsLeftOut"] = run.eventsLeftOut;
    report["redraws"] = run.redraws;
    report["unprovidedCalls"] = run.unprovidedCalls;
    report["calls"] = run.calls;
    report["callsLeftOut"] = run.callsLeftOut;
    json before = json::array();
    for (const VolumeMap& map : run.mapsBefore) before.push_back(mapToJson(map));
    json after = json::array();
    for (const VolumeMap& map : run.mapsAfter) after.push_back(mapToJson(map));
    report["mapsBefore"] = before;
    report["mapsAfter"] = after;
    json warnings = json::array();
    for (const ParameterWarning& warning : run.warnings)
        warnings.push_back(
            {{"kind", warningKindName(warning.kind)}, {"parameters", warning.parameters}, {"text", warning.text}});
    report["warnings"] = warnings;
    return report;
}

}  // namespace nimbrel
