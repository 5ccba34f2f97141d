#pragma once

#include <string>

namespace kelvane {

// The numeric routines' only way out when they cannot go on: writes three
// lines to the standard error stream (a fixed opening line, the message, a
// fixed closing line) and ends the process with exit status 1. Since the
// plug-in lives in the host's process, this ends the host as well.
[[noreturn]] void fatalNumericError(std::string message);

}  // namespace kelvane
