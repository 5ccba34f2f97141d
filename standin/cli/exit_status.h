#pragma once
// The stand-in host's exit statuses: what a script calling Nimbrel.exe can
// tell from the status alone. kExitStatuses is their one description: --help
// lists it and the stand-in's manual (docs/using-the-stand-in.md) has a table held equal to it by a test.

#include <string>

#include "standin/plugin/run_end.h"

namespace nimbrel {

enum ExitStatus : int {
    kExitRan = 0,              // initPlugin and execute both returned true
    kExitBadWorkspace = 1,     // the workspace file cannot be read or is not valid
    kExitBadArguments = 2,     // no arguments, unknown option, missing value, bad --param
    kExitBadPlugin = 3,        // the plug-in cannot be loaded, or createPlugin returned null
    kExitCannotWrite = 4,      // an output (file or standard output) cannot be written whole
    kExitInternal = 5,         // anything else that went wrong inside the stand-in
    kExitBadDialog = 6,        // the dialog script cannot be read or is not valid
    kExitInitPluginFalse = 7,  // initPlugin returned false (execute was not called)
    kExitExecuteFalse = 8,     // execute returned false
    kExitPluginCrashed = 9,    // a plug-in call crashed, or ended the process
    kExitPluginTimedOut = 10,  // a plug-in call ran longer than --timeout
    kExitOutOfMemory = 11,     // the stand-in ran out of memory
    // Stopped from outside: 128 and the signal, as a shell shows a program
    // the signal ended (on Windows, the same for the console's events).
    kExitHangUp = 129,       // SIGHUP: the terminal (the console) closed
    kExitInterrupted = 130,  // SIGINT: Ctrl-C (or Ctrl-Break)
    kExitTerminated = 143,   // SIGTERM
};

// The exit status of a watched run's end; Finished stands for kExitRan.
constexpr int exitStatusOf(RunEnd end) {
    switch (end) {
        case RunEnd::PluginCrashed:
            return kExitPluginCrashed;
        case RunEnd::PluginTimedOut:
            return kExitPluginTimedOut;
        case RunEnd::OutOfMemory:
            return kExitOutOfMemory;
        case RunEnd::StandInFailed:
            return kExitInternal;
        case RunEnd::Interrupted:
            return kExitInterrupted;
        case RunEnd::Terminated:
            return kExitTerminated;
        case RunEnd::HangUp:
            return kExitHangUp;
        case RunEnd::Finished:
            break;
    }
    return kExitRan;
}

// A status and what it means, in the manual's words (names in `backticks`).
struct ExitStatusMeaning {
    int status;
    const char* meaning;
};

inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {kExitRan, "the plug-in ran: `initPlugin` and `execute` returned true"},
    {kExitBadWorkspace, "the workspace file cannot be read or is not valid"},
    {kExitBadArguments, "bad arguments or `--param`; no arguments at all print the usage"},
    {kExitBadPlugin, "the plug-in cannot be loaded, or `createPlugin` returned null"},
    {kExitCannotWrite, "an output (a file, or standard output) cannot be written whole; the system's reason is given"},
    {kExitInternal, "an unexpected failure inside the stand-in"},
    {kExitBadDialog, "the dialog script cannot be read or is not valid"},
    {kExitInitPluginFalse, "`initPlugin` returned false, so `execute` was not called"},
    {kExitExecuteFalse, "`execute` returned false"},
    {kExitPluginCrashed, "the plug-in crashed in one of its calls, or ended the process"},
    {kExitPluginTimedOut, "a plug-in call ran longer than `--timeout` allows"},
    {kExitOutOfMemory,
     "the stand-in ran out of memory; the line says what it was doing (\"out of memory reading the workspace "
     "ws.json (20,000 maps)\")"},
    {kExitHangUp, "stopped: the terminal (on Windows, the console) was closed, SIGHUP"},
    {kExitInterrupted, "stopped by Ctrl-C (SIGINT; on Windows also Ctrl-Break)"},
    {kExitTerminated, "stopped by SIGTERM"},
};

// What follows the table, in the manual and in --help.
inline constexpr const char* kExitStatusNote =
    "An output that cannot be written gives 4 whatever the plug-in returned. A run that is stopped\n"
    "writes no file, leaves none of its temporary files behind, and ends the plug-in's process too.";

// The exit statuses of Nimbrel.exe --check.
enum CheckExitStatus : int {
    kCheckPassed = 0,
    kCheckFailed = 1,
    kCheckBadArguments = 2,
    kCheckNoPlugin = 3,
    kCheckCannotWrite = 4,
};

inline constexpr ExitStatusMeaning kCheckExitStatuses[] = {
    {kCheckPassed, "every check passed (warnings allowed below strictness 3)"},
    {kCheckFailed, "a check failed"},
    {kCheckBadArguments, "bad arguments"},
    {kCheckNoPlugin, "the module does not exist"},
    {kCheckCannotWrite, "the report cannot be written"},
};

// A table of statuses as --help lists them: the heading, then "  STATUS
// meaning" lines (backticks left out), then the note when there is one.
template <typename Table>
std::string exitStatusHelp(const Table& table, const char* note = nullptr, const char* heading = "Exit status:") {
    std::string text = heading;
    for (const auto& row : table) {
        std::string number = std::to_string(row.status);
        number.resize(4, ' ');
        text += "\n  " + number;
        for (const char* c = row.meaning; *c != '\0'; ++c)
            if (*c != '`') text += *c;
    }
    if (note != nullptr) text += std::string("\n") + note;
    return text;
}

}  // namespace nimbrel
