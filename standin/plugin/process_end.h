#pragma once
// How a process ended, in the one wording of the run and of --check: "exit
// status 3", "signal 11, segmentation fault", "exception 0xC0000005, access
// violation"; and the one wait for a child process that kills it when its
// caller says it is overdue, on every system, for the run and for --check.

#include <functional>
#include <string>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

namespace nimbrel {

// "signal 11, segmentation fault".
std::string signalEnd(int signal);

// "exception 0xC0000005, access violation".
std::string exceptionEnd(unsigned long code);

// "exit status 3".
std::string exitEnd(int status);

#if defined(_WIN32)
using ChildProcess = void*;  // the process's handle
#else
using ChildProcess = pid_t;
#endif

struct ChildWait {
    enum class Result { Ended, Killed, Failed };
    Result result = Result::Failed;
    // Once the child ended (also when killed): waitpid's status, or on
    // Windows the process's exit code.
    int status = 0;
    int error = 0;  // errno (on Windows GetLastError) of a wait that failed
};

// Waits for child, asking overdue() every few milliseconds; when it answers
// true the child is killed (SIGKILL, TerminateProcess) and waited for.
ChildWait waitForChild(ChildProcess child, const std::function<bool()>& overdue);

#if !defined(_WIN32)

// How a child ended, from waitpid's status: exitEnd or signalEnd.
std::string statusEnd(int status);

#endif

}  // namespace nimbrel
