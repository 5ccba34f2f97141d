#include "standin/plugin_location.h"

#include <filesystem>
#include <system_error>

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
    fs::path absolute = fs::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
}

std::string executablePath(const char* argv0) {
#if defined(_WIN32)
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) return std::string(path, length);
#else
    std::error_code failed;
    fs::path self = fs::read_symlink("/proc/self/exe", failed);
    if (!failed && !self.empty()) return self.string();
#endif
    return absolutePath(argv0 != nullptr ? argv0 : "Nimbrel.exe");
}

std::vector<std::string> defaultPluginCandidates(const std::string& executable) {
    const fs::path prefix = fs::path(executable).parent_path() / "..";
    return {(prefix / "plugins" / kPluginFolder / kPluginFileName).lexically_normal().string(),
            (prefix / "plugin" / kPluginFileName).lexically_normal().string()};
}

std::string defaultPluginPath(const std::string& executable) {
    for (const std::string& candidate : defaultPluginCandidates(executable)) {
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored)) return candidate;
    }
    return "";
}

}  // namespace nimbrel
