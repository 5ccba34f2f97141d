#include "standin/plugin/plugin_location.h"

#include <filesystem>
#include <system_error>

#include "standin/base/native_path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace nimbrel {

namespace fs = std::filesystem;

#if defined(_WIN32)
const char* const kPluginFileName = "Kelvane.dll";
#else
const char* const kPluginFileName = "Kelvane.so";
#endif
const char* const kPluginFolder = "Kelvane";

std::string absolutePath(const std::string& path) {
    std::error_code ignored;
    fs::path absolute = fs::absolute(nativePath(path), ignored);
    return absolute.empty() ? path : utf8Path(absolute.lexically_normal());
}

std::string executablePath(const char* argv0) {
#if defined(_WIN32)
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length > 0 && length < sizeof path / sizeof path[0]) return utf8Text(path);
#else
    std::error_code failed;
    fs::path self = fs::read_symlink("/proc/self/exe", failed);
    if (!failed && !self.empty()) return self.string();
#endif
    return absolutePath(argv0 != nullptr ? argv0 : "Nimbrel.exe");
}

std::vector<std::string> defaultPluginCandidates(const std::string& executable) {
    const fs::path prefix = nativePath(executable).parent_path() / "..";
    return {utf8Path((prefix / "plugins" / kPluginFolder / kPluginFileName).lexically_normal()),
            utf8Path((prefix / kPluginFolder / kPluginFileName).lexically_normal()),
            utf8Path((prefix / "plugin" / kPluginFileName).lexically_normal())};
}

std::string defaultPluginPath(const std::string& executable) {
    for (const std::string& candidate : defaultPluginCandidates(executable)) {
        std::error_code ignored;
        if (fs::is_regular_file(nativePath(candidate), ignored)) return candidate;
    }
    return "";
}

}  // namespace nimbrel
