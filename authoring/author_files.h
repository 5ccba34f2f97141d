#pragma once
// The two files for plug-in authors written from the host function list: the
// C header (nimbrel_plugin.h) and the host function reference
// (host-functions.md).

#include <string>

namespace kelvane::authoring {

// The file names, as the build writes them and as they are committed.
inline constexpr const char* kAuthorHeaderFile = "nimbrel_plugin.h";
inline constexpr const char* kHostReferenceFile = "host-functions.md";

// How the committed copies are made equal to what the build writes.
inline constexpr const char* kRefreshCommand = "cmake --build --preset default --target refresh_author_files";

std::string authorHeader();
std::string hostReference();

}  // namespace kelvane::authoring
