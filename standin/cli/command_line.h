#pragma once
// The stand-in host's command line: Nimbrel.exe [options] [WORKSPACE.json].

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "standin/cli/exit_status.h"

namespace nimbrel {

// The longest --timeout taken, in seconds: a day.
inline constexpr double kLongestTimeout = 86400;

// The conformance check a command line asks for: --check PLUGIN [--strictness
// 1..3] [--time-limit SECONDS] [--only NAMES] [--in-process], or --list, with
// --report-json. The names of --only are the check's to judge (check/).
struct CheckRequest {
    static constexpr int kDefaultStrictness = 2;
    static constexpr double kDefaultTimeLimit = 60;
    std::string plugin;
    int strictness = kDefaultStrictness;
    double timeLimit = kDefaultTimeLimit;  // seconds each check may take, up to kLongestTimeout
    std::vector<std::string> only;         // --only: these checks and what they need; empty: every check
    bool inProcess = false;                // --in-process: in this process, not a child each
    bool list = false;                     // --list: list the checks instead (no plug-in)
};

struct CommandLine {
    std::optional<std::string> workspace;      // none: run against an empty workspace
    std::optional<std::string> plugin;         // none: the plug-in next to the executable
    std::optional<std::string> dialog;         // none: the script the plug-in names, beside it
    bool noDialog = false;                     // take no defaults from any dialog script
    std::vector<std::string> params;           // NAME=VALUE, in order
    std::optional<std::string> saveWorkspace;  // "-" for standard output
    std::optional<std::string> reportJson;     // "-" for standard output
    std::optional<double> timeout;             // seconds each plug-in call may take, up to kLongestTimeout
    bool trace = false;
    bool quiet = false;
    std::optional<CheckRequest> check;  // the check instead of a run
};

// Parses the arguments (argv[0] is the program). For --help, --version, no
// arguments at all and wrong arguments it prints the answer and gives the exit
// status instead.
std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                std::ostream& err);

// "Nimbrel.exe: error: <message>" on err.
void printError(std::ostream& err, const std::string& message);
// "Nimbrel.exe: warning: <message>" on err.
void printWarning(std::ostream& err, const std::string& message);

}  // namespace nimbrel
