#pragma once
// How the stand-in's own lines on standard error begin: its name, then what
// kind of line it is ("Nimbrel.exe: error: plug-in not found: ...").
// cli/command_line.h's printError and printWarning write them.

namespace nimbrel {

inline constexpr char kProgramName[] = "Nimbrel.exe";
inline constexpr char kLinePrefix[] = "Nimbrel.exe: ";
inline constexpr char kErrorPrefix[] = "Nimbrel.exe: error: ";
inline constexpr char kWarningPrefix[] = "Nimbrel.exe: warning: ";
inline constexpr char kNotePrefix[] = "Nimbrel.exe: note: ";

}  // namespace nimbrel
