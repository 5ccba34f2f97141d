#pragma once
// The stand-in carries every path as UTF-8 text; these turn it into the
// system's own form, wide characters on Windows, where files are opened and
// modules loaded, so that a folder named "José" or "データ" works everywhere.

#include <cstdio>
#include <filesystem>
#include <string>

namespace nimbrel {

// The path the UTF-8 text names.
std::filesystem::path nativePath(const std::string& utf8);
// The path as UTF-8 text.
std::string utf8Path(const std::filesystem::path& path);
// std::fopen of a UTF-8 path (_wfopen on Windows).
std::FILE* openFile(const std::string& utf8, const char* mode);

#if defined(_WIN32)
// UTF-16 of UTF-8 text and back, for the system's wide-character calls; a
// byte or a code unit that does not convert becomes U+FFFD.
std::wstring wideText(const std::string& utf8);
std::string utf8Text(const wchar_t* wide);
#endif

}  // namespace nimbrel
