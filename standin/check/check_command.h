#pragma once
// Nimbrel.exe --check PLUGIN [--strictness 1..3] [--report-json FILE]
// [--time-limit SECONDS]: a conformance check of any plug-in of this family.
// Each check runs in a child process of its own (this executable again, with
// the hidden --check-run NAME PLUGIN CHANNEL), so that an exit, a crash or a
// hang fails that check alone.

#include <optional>

namespace nimbrel::check {

// Exit statuses of --check.
enum CheckExitStatus : int {
    kCheckPassed = 0,  // every check of the chosen strictness passed
    kCheckFailed = 1,  // at least one failed
    kCheckBadArguments = 2,
    kCheckNoPlugin = 3,     // the plug-in file does not exist
    kCheckCannotWrite = 4,  // the JSON report cannot be written
};

// Runs --check or a child's --check-run when argv asks for one; otherwise
// gives nothing, and the stand-in runs as usual.
std::optional<int> checkMain(int argc, char** argv);

}  // namespace nimbrel::check
