#pragma once
// Runs this executable again as a child process with other arguments, waits
// for it within a time bound, and says how it ended.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nimbrel::check {

struct ChildEnd {
    enum class Kind { Exited, Crashed, TimedOut, NotStarted };
    Kind kind = Kind::NotStarted;
    int code = 0;                                   // the exit status, or the signal / exception code of a crash
    std::string description;                        // as process_end.h words it: "signal 11, segmentation fault"
    std::chrono::steady_clock::time_point endedAt;  // when the end was seen
};

struct ChildOptions {
    // Variables added to the child's environment, "NAME=value" (not on Windows).
    std::vector<std::string> environment;
    // Where its standard output and error go, each to a file of its own
    // (outputStem + ".out", ".err"); nowhere when empty (always on Windows).
    std::string outputStem;
    // A count that grows while the child gets on with its work: the time
    // limit starts again each time it grows.
    std::function<std::uintmax_t()> progress;
};

// Starts program with arguments (argv[0] is program); kills it when it makes
// no progress for timeLimitSeconds.
ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds,
                  const ChildOptions& options = {});

// Called first in a child: a crash ends the process at once with the crash's
// code, with no dialog box and no debugger.
void endQuietlyOnCrash();

// Bounds every file the child writes (its standard output and error
// included), so that a module that writes without end stops at the bound
// (on Linux, with SIGXFSZ) before it fills the disk. Not on Windows.
void limitFileSizes(std::uint64_t bytes);

// Called as the child's process ends: a crash from now on writes the line
// "fault <exception>" to the open file descriptor first. On Windows the
// system swallows a crash in a module's exit code (the process still ends
// with status 0); elsewhere the crash ends the process and shows in its status.
void noteCrashAsProcessEnds(int descriptor);

}  // namespace nimbrel::check
