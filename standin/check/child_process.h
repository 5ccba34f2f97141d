#pragma once
// Runs this executable again as a child process with other arguments, waits
// for it within a time bound, and says how it ended.

#include <string>
#include <vector>

namespace nimbrel::check {

struct ChildEnd {
    enum class Kind { Exited, Crashed, TimedOut, NotStarted };
    Kind kind = Kind::NotStarted;
    int code = 0;             // the exit status, or the signal / exception code of a crash
    std::string description;  // "exit status 3", "signal 11 (Segmentation fault)", "exception 0xC0000005"
};

// Starts program with arguments (argv[0] is program), its standard output and
// error sent nowhere; kills it after timeLimitSeconds.
ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds);

// Called first in a child: a crash ends the process at once with the crash's
// code, with no dialog box and no debugger.
void endQuietlyOnCrash();

}  // namespace nimbrel::check
