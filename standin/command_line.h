#pragma once
// The stand-in host's command line: Nimbrel.exe [options] [WORKSPACE.json].

#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace nimbrel {

// Exit statuses.
enum ExitStatus : int {
    kExitRan = 0,           // the plug-in ran, whatever initPlugin and execute returned
    kExitBadWorkspace = 1,  // the workspace file cannot be read or is not valid
    kExitBadArguments = 2,  // unknown option, missing value, bad --param
    kExitBadPlugin = 3,     // the plug-in cannot be loaded, or made no plug-in object
    kExitCannotWrite = 4,   // the saved workspace or the report cannot be written
    kExitInternal = 5,      // anything else that went wrong inside the stand-in
    kExitBadDialog = 6,     // the dialog script cannot be read or is not valid
};

struct CommandLine {
    std::optional<std::string> workspace;      // none: run against an empty workspace
    std::optional<std::string> plugin;         // none: the plug-in next to the executable
    std::optional<std::string> dialog;         // none: the script the plug-in names, beside it
    bool noDialog = false;                     // take no defaults from any dialog script
    std::vector<std::string> params;           // NAME=VALUE, in order
    std::optional<std::string> saveWorkspace;
    std::optional<std::string> reportJson;     // "-" for standard output
    bool trace = false;
    bool quiet = false;
};

// Parses the arguments (argv[0] is the program). For --help, --version and
// wrong arguments it prints the answer and gives the exit status instead.
std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                std::ostream& err);

// This executable's path; argv0 serves when the system cannot say.
std::string executablePath(const char* argv0);
// Where the stand-in looks for its default plug-in, Kelvane.so (Kelvane.dll on
// Windows), in this order: as installed, <prefix>/plugins/Kelvane/ for
// <prefix>/bin/Nimbrel.exe; as built, the plugin folder beside the
// executable's folder.
std::vector<std::string> defaultPluginCandidates(const std::string& executable);
// The first candidate that exists, or empty when none does.
std::string defaultPluginPath(const std::string& executable);

// Runs the plug-in as the command line says; returns the exit status.
int runNimbrel(const CommandLine& options, const std::string& executable, std::ostream& out, std::ostream& err);

// The whole program.
int nimbrelMain(int argc, char** argv);

}  // namespace nimbrel
