#pragma once
// The one way to a stand-in host that lacks a host function: the same
// program, its export of that name made unfindable, so that a plug-in's lookup
// by name answers null as in a host that never had it. The rest of the program
// and its other exports are untouched. --check writes such copies of itself;
// the build patches test programs that are hosts (nimbrel_withhold).

#include <string>

namespace nimbrel {

// Writes to copyPath (which may be hostPath) a copy of the executable at
// hostPath that lacks function.
// Throws std::runtime_error, saying why, when the file is not a program of
// this platform or does not export function.
void writeHostLacking(const std::string& hostPath, const std::string& function, const std::string& copyPath);

}  // namespace nimbrel
