#pragma once
// Runs a program through the system's command interpreter and gives its exit
// status.

#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace kelvane::testing {

// program is quoted; arguments go as given (quote paths yourself). -1 when the
// program did not exit normally.
inline int runProgram(const std::string& program, const std::string& arguments) {
    std::string command = "\"" + program + "\" " + arguments;
#if defined(_WIN32)
    command = "\"" + command + "\"";  // cmd.exe takes off the outer quotes
    return std::system(command.c_str());
#else
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}

}  // namespace kelvane::testing
