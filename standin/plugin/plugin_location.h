#pragma once
// Where the stand-in finds itself and, without --plugin, the plug-in to run.

#include <string>
#include <vector>

namespace nimbrel {

// Kelvane.so, or Kelvane.dll on Windows.
extern const char* const kPluginFileName;
// The installed plug-in's folder under <prefix>/plugins/.
extern const char* const kPluginFolder;

// This executable's path; argv0 serves when the system cannot say.
std::string executablePath(const char* argv0);
// Where the stand-in looks for its default plug-in, in this order: as
// installed, <prefix>/plugins/Kelvane/ for <prefix>/bin/Nimbrel.exe; as
// unpacked from the Windows archive, the Kelvane folder beside stand-in/; as
// built, the plugin folder beside the executable's folder.
std::vector<std::string> defaultPluginCandidates(const std::string& executable);
// The first candidate that exists, or empty when none does.
std::string defaultPluginPath(const std::string& executable);

// An absolute path, so that the system's loader does not search its own
// folders for a bare file name.
std::string absolutePath(const std::string& path);

}  // namespace nimbrel
