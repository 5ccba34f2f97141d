#pragma once
// The stand-in host's exit statuses: what a script calling Nimbrel.exe can
// tell from the status alone.

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
};

// The statuses as --help and the README list them.
inline constexpr const char* kExitStatusList =
    "Exit status:\n"
    "  0   the plug-in ran: initPlugin and execute returned true\n"
    "  1   the workspace file cannot be read or is not valid\n"
    "  2   bad arguments or --param (no arguments at all: the usage)\n"
    "  3   the plug-in cannot be loaded, or createPlugin returned null\n"
    "  4   an output (a file, or standard output) cannot be written whole\n"
    "  5   an unexpected failure inside the stand-in\n"
    "  6   the dialog script cannot be read or is not valid\n"
    "  7   initPlugin returned false, so execute was not called\n"
    "  8   execute returned false\n"
    "  9   the plug-in crashed in one of its calls, or ended the process\n"
    "  10  a plug-in call ran longer than --timeout allows\n"
    "  11  the stand-in ran out of memory (the line says what it was doing)\n"
    "An output that cannot be written gives 4 whatever the plug-in returned.";

}  // namespace nimbrel
