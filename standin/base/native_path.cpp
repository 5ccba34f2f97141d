#include "standin/base/native_path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace nimbrel {

#if defined(_WIN32)

std::wstring wideText(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

std::string utf8Text(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], length, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

// Through the system's conversions, which never throw: a byte that is not
// UTF-8 becomes U+FFFD, as it would in any other wide-character call.
std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(wideText(utf8));
}

std::string utf8Path(const std::filesystem::path& path) {
    return utf8Text(path.c_str());
}

std::FILE* openFile(const std::string& utf8, const char* mode) {
    return _wfopen(nativePath(utf8).c_str(), wideText(mode).c_str());
}

#else

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string utf8Path(const std::filesystem::path& path) {
    return path.string();
}

std::FILE* openFile(const std::string& utf8, const char* mode) {
    return std::fopen(utf8.c_str(), mode);
}

#endif

}  // namespace nimbrel
