#pragma once
// A copy of the stand-in host that lacks one host function: the same program,
// its export of that name made unfindable, so that a plug-in's lookup by name
// answers null as in a host that never had it. The rest of the program and its
// other exports are untouched.

#include <string>

namespace nimbrel::check {

// Writes to copyPath a copy of the executable at hostPath that lacks function.
// Throws std::runtime_error, saying why, when the file is not a program of
// this platform or does not export function.
void writeHostLacking(const std::string& hostPath, const std::string& function, const std::string& copyPath);

}  // namespace nimbrel::check
