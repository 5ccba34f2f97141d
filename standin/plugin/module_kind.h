#pragma once
// What a file is to a host that loads plug-in modules: a module this
// stand-in can load, a module of the other platform or another machine, or no
// module at all. Read from the file's first bytes, so that a refusal can say
// what the file is instead of the system loader's bare complaint.

#include <optional>
#include <string>

namespace nimbrel {

// One line saying what the file at path is and what to do with it, when it is
// not a module of this platform and machine: "a Windows module: check it with
// the Windows build under Wine (wine Nimbrel.exe --check Small.dll)". what is
// the stand-in's verb for it ("check", "run"); command the options to repeat
// ("--check", "--plugin"). Nothing for a module this stand-in can load, or a
// file it cannot read.
std::optional<std::string> foreignModuleNote(const std::string& path, const char* what, const char* command);

}  // namespace nimbrel
