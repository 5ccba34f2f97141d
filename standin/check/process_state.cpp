#include "standin/check/process_state.h"

#include <algorithm>
#include <cfenv>
#include <clocale>
#include <cstdio>
#include <filesystem>

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#if defined(_WIN32)
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#else
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
extern char** environ;
#endif

namespace nimbrel::check {
namespace {

std::string variableName(const std::string& entry) {
    return entry.substr(0, entry.find('=', 1));
}

std::vector<std::string> environment() {
    std::vector<std::string> entries;
#if defined(_WIN32)
    char* block = GetEnvironmentStringsA();
    if (block == nullptr) return entries;
    for (const char* entry = block; *entry != '\0'; entry += std::char_traits<char>::length(entry) + 1)
        if (*entry != '=') entries.emplace_back(entry);  // "=C:=C:\..." are the shell's drive folders
    FreeEnvironmentStringsA(block);
#else
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) entries.emplace_back(*entry);
#endif
    std::sort(entries.begin(), entries.end());
    return entries;
}

#if defined(_WIN32)

std::int64_t bytesWritten(DWORD handle) {
    std::fflush(handle == STD_OUTPUT_HANDLE ? stdout : stderr);
    LARGE_INTEGER size{};
    return GetFileSizeEx(GetStdHandle(handle), &size) ? size.QuadPart : 0;
}

std::vector<std::string> signalDispositions() {
    return {};
}

#else

std::int64_t bytesWritten(int descriptor) {
    std::fflush(descriptor == 1 ? stdout : stderr);
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) ? status.st_size : 0;
}

// The flags that change what a signal does (the C library sets others of its own).
constexpr int kFlagsCompared = SA_SIGINFO | SA_RESETHAND | SA_NODEFER | SA_RESTART | SA_ONSTACK;

std::vector<std::string> signalDispositions() {
    std::vector<std::string> dispositions;
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%d %p/%x", signal, reinterpret_cast<void*>(action.sa_handler),
                      static_cast<unsigned>(action.sa_flags & kFlagsCompared));
        dispositions.push_back(text);
    }
    return dispositions;
}

#endif

unsigned floatingPointControl() {
    auto control = static_cast<unsigned>(std::fegetround());
#if defined(__x86_64__) || defined(_M_X64)
    constexpr unsigned kStatusFlags = 0x3F;  // the exceptions raised so far: not control
    control ^= (_mm_getcsr() & ~kStatusFlags) << 8;
#endif
    return control;
}

std::string shown(const std::string& text) {
    return text.empty() ? "(none)" : "\"" + text + "\"";
}

}  // namespace

int runningThreads() {
#if defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
#else
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
#endif
}

ProcessState captureProcessState() {
    ProcessState state;
    std::error_code ignored;
    state.workingDirectory = std::filesystem::current_path(ignored).u8string();
    const char* locale = std::setlocale(LC_ALL, nullptr);
    state.locale = locale != nullptr ? locale : "";
    state.environment = environment();
    state.signalDispositions = signalDispositions();
    state.threads = runningThreads();
    state.floatingPointControl = floatingPointControl();
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
    if (before.workingDirectory != after.workingDirectory)
        changes.push_back("changed the working directory from " + shown(before.workingDirectory) + " to " +
                          shown(after.workingDirectory));
    if (before.locale != after.locale)
        changes.push_back("changed the locale from " + shown(before.locale) + " to " + shown(after.locale));
    if (before.environment != after.environment) {
        std::vector<std::string> changed;
        std::set_symmetric_difference(before.environment.begin(), before.environment.end(), after.environment.begin(),
                                      after.environment.end(), std::back_inserter(changed));
        std::string names;
        for (const std::string& entry : changed)
            if (names.find(variableName(entry)) == std::string::npos)
                names += (names.empty() ? "" : ", ") + variableName(entry);
        changes.push_back("changed the environment (" + names + ")");
    }
    if (before.floatingPointControl != after.floatingPointControl)
        changes.push_back("changed the floating-point control (rounding, exception masks or flush-to-zero)");
    for (std::size_t s = 0; s < before.signalDispositions.size() && s < after.signalDispositions.size(); ++s)
        if (before.signalDispositions[s] != after.signalDispositions[s]) {
            const std::string& which = after.signalDispositions[s];
            changes.push_back("changed the handler of signal " + which.substr(0, which.find(' ')));
            break;
        }
    if (after.threads > before.threads)
        changes.push_back("left " + std::to_string(after.threads - before.threads) +
                          (after.threads - before.threads == 1 ? " thread" : " threads") + " running");
    if (after.standardOutputBytes != before.standardOutputBytes)
        changes.push_back("wrote " + std::to_string(after.standardOutputBytes - before.standardOutputBytes) +
                          " bytes to standard output");
    if (after.standardErrorBytes != before.standardErrorBytes)
        changes.push_back("wrote " + std::to_string(after.standardErrorBytes - before.standardErrorBytes) +
                          " bytes to standard error");
    return changes;
}

}  // namespace nimbrel::check
