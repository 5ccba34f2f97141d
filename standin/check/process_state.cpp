#include "standin/check/process_state.h"

#include <algorithm>
#include <cfenv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <locale>
#include <map>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
extern char** environ;
#endif

namespace nimbrel::check {
namespace {

// The environment's lines are all under one name; each value is "NAME=value".
const char* const kEnvironment = "the environment";
// The most settings a snapshot reserves room for at once.
constexpr std::size_t kSettingsReserved = 32 * 1024;

void addEnvironment(std::string& settings) {
#if defined(_WIN32)
    char* block = GetEnvironmentStringsA();
    if (block == nullptr) return;
    for (const char* entry = block; *entry != '\0'; entry += std::char_traits<char>::length(entry) + 1)
        if (*entry != '=') addSetting(settings, kEnvironment, entry);  // "=C:=C:\..." are the shell's drive folders
    FreeEnvironmentStringsA(block);
#else
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        addSetting(settings, kEnvironment, *entry);
#endif
}

#if defined(_WIN32)
std::int64_t bytesWritten(DWORD handle) {
    std::fflush(handle == STD_OUTPUT_HANDLE ? stdout : stderr);
    LARGE_INTEGER size{};
    return GetFileSizeEx(GetStdHandle(handle), &size) ? size.QuadPart : 0;
}
#else
std::int64_t bytesWritten(int descriptor) {
    std::fflush(descriptor == 1 ? stdout : stderr);
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) ? status.st_size : 0;
}
#endif

// The rounding mode, and on x86-64 the SSE control bits (exception masks,
// flush-to-zero, denormals-are-zero): what every float computation of the
// host obeys.
unsigned floatingPointControl() {
    auto control = static_cast<unsigned>(std::fegetround());
#if defined(__x86_64__) || defined(_M_X64)
    constexpr unsigned kStatusFlags = 0x3F;  // the exceptions raised so far: not control
    control ^= (_mm_getcsr() & ~kStatusFlags) << 8;
#endif
    return control;
}

void addQuoted(std::string& settings, const char* what, const char* text) {
    char quoted[4096];
    std::snprintf(quoted, sizeof quoted, text != nullptr && *text != '\0' ? "\"%s\"" : "(none)", text);
    addSetting(settings, what, quoted);
}

void addWorkingDirectory(std::string& settings) {
#if defined(_WIN32)
    std::error_code ignored;
    addQuoted(settings, "the working directory", std::filesystem::current_path(ignored).u8string().c_str());
#else
    char folder[4096];
    addQuoted(settings, "the working directory", getcwd(folder, sizeof folder));
#endif
}

using Settings = std::vector<std::pair<std::string, std::string>>;

Settings parsed(const std::string& settings) {
    Settings items;
    for (std::size_t at = 0; at < settings.size();) {
        const std::size_t tab = settings.find('\t', at), end = settings.find('\n', at);
        if (tab == std::string::npos || end == std::string::npos || tab > end) break;
        items.emplace_back(settings.substr(at, tab - at), settings.substr(tab + 1, end - tab - 1));
        at = end + 1;
    }
    return items;
}

std::string variableName(const std::string& entry) {
    return entry.substr(0, entry.find('=', 1));
}

// The environment's entries, sorted, and the other settings by what they are.
std::pair<std::vector<std::string>, Settings> environmentApart(const Settings& items) {
    std::pair<std::vector<std::string>, Settings> apart;
    for (const auto& item : items)
        if (item.first == kEnvironment)
            apart.first.push_back(item.second);
        else
            apart.second.push_back(item);
    std::sort(apart.first.begin(), apart.first.end());
    return apart;
}

}  // namespace

void addSetting(std::string& settings, const char* what, const char* value) {
    auto add = [&settings](const char* text) {
        for (const char* c = text; *c != '\0'; ++c) settings += *c == '\t' || *c == '\n' ? ' ' : *c;
    };
    add(what);
    settings += '\t';
    add(value);
    settings += '\n';
}

ProcessState captureProcessState() {
    ProcessState state;
    state.settings.reserve(kSettingsReserved);
    addWorkingDirectory(state.settings);
    addQuoted(state.settings, "the locale", std::setlocale(LC_ALL, nullptr));
    addQuoted(state.settings, "the C++ global locale", std::locale().name().c_str());
    char control[16];
    std::snprintf(control, sizeof control, "0x%X", floatingPointControl());
    addSetting(state.settings, "the floating-point control (rounding, exception masks or flush-to-zero)", control);
    addSystemSettings(state.settings);
    addEnvironment(state.settings);
#if defined(_WIN32)
    state.standardOutputBytes = bytesWritten(STD_OUTPUT_HANDLE);
    state.standardErrorBytes = bytesWritten(STD_ERROR_HANDLE);
#else
    state.standardOutputBytes = bytesWritten(1);
    state.standardErrorBytes = bytesWritten(2);
#endif
    return state;
}

std::vector<std::string> processStateChanges(const ProcessState& before, const ProcessState& after) {
    std::vector<std::string> changes;
    if (before.settings != after.settings) {
        // Whatever the system reports, compared whole: each setting that differs is named.
        const auto [wasEnvironment, was] = environmentApart(parsed(before.settings));
        const auto [isEnvironment, is] = environmentApart(parsed(after.settings));
        const std::map<std::string, std::string> wasByName(was.begin(), was.end()), isByName(is.begin(), is.end());
        for (const auto& [what, value] : is) {
            const auto found = wasByName.find(what);
            if (found == wasByName.end())
                changes.push_back("set " + what + " to " + value);
            else if (found->second != value)
                changes.push_back("changed " + what + " from " + found->second + " to " + value);
        }
        for (const auto& [what, value] : was)
            if (isByName.count(what) == 0) changes.push_back("removed " + what + " (" + value + ")");
        if (wasEnvironment != isEnvironment) {
            std::vector<std::string> changed;
            std::set_symmetric_difference(wasEnvironment.begin(), wasEnvironment.end(), isEnvironment.begin(),
                                          isEnvironment.end(), std::back_inserter(changed));
            std::string names;
            for (const std::string& entry : changed)
                if (names.find(variableName(entry)) == std::string::npos)
                    names += (names.empty() ? "" : ", ") + variableName(entry);
            changes.push_back("changed the environment (" + names + ")");
        }
    }
    if (after.standardOutputBytes != before.standardOutputBytes)
        changes.push_back("wrote " + std::to_string(after.standardOutputBytes - before.standardOutputBytes) +
                          " bytes to standard output");
    if (after.standardErrorBytes != before.standardErrorBytes)
        changes.push_back("wrote " + std::to_string(after.standardErrorBytes - before.standardErrorBytes) +
                          " bytes to standard error");
    return changes;
}

}  // namespace nimbrel::check
