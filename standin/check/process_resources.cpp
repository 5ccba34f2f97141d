#include "standin/check/process_resources.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#else
#include <dirent.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#endif

namespace nimbrel::check {

#if defined(_WIN32)

ThreadNumber currentThreadNumber() {
    return GetCurrentThreadId();
}

std::map<ThreadNumber, ThreadUse> threadUse() {
    std::map<ThreadNumber, ThreadUse> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        double seconds = 0;
        if (HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            FILETIME created{}, exited{}, kernel{}, user{};
            if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
                auto ticks = [](const FILETIME& time) {
                    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
                };
                seconds = static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;  // 100 ns units
            }
            CloseHandle(thread);
        }
        threads[entry.th32ThreadID].cpuSeconds = seconds;
    }
    CloseHandle(snapshot);
    return threads;
}

std::vector<ChildProcess> childProcesses() {
    return {};
}

namespace {

// The system's table of every process's handles, as NtQuerySystemInformation
// gives it (SystemHandleInformation).
struct HandleEntry {
    USHORT process;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// This process's handles counted in the system's table, or 0 when it cannot be had.
int handlesInSystemTable() {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return 0;
    std::vector<char> table(1 << 16);
    ULONG length = 0;
    LONG status = 0;
    while ((status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), &length)) ==
               kInfoLengthMismatch &&
           table.size() < (std::size_t{1} << 28))
        table.resize(table.size() * 2);
    if (status != 0) return 0;
    const auto* handles = reinterpret_cast<const HandleTable*>(table.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    int count = 0;
    for (ULONG i = 0; i < handles->count; ++i) count += handles->entries[i].process == self;
    return count;
}

}  // namespace

int openDescriptors() {
    // Some systems (Wine) answer 0 here, which no process has.
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<int>(count);
    return handlesInSystemTable();
}

const char* descriptorsWord() {
    return "handles";
}

double cpuWaitSeconds() {
    return 0;
}

#else

namespace {

// The numbers in a folder of /proc ("/proc/self/task"); in /proc/self/fd
// but the one of the listing's own descriptor.
std::vector<long> numberedEntries(const char* folder, bool descriptors = false) {
    std::vector<long> numbers;
    if (DIR* entries = opendir(folder)) {
        const int own = descriptors ? dirfd(entries) : -1;
        while (const dirent* entry = readdir(entries)) {
            char* end = nullptr;
            const long number = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && number != own) numbers.push_back(number);
        }
        closedir(entries);
    }
    return numbers;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The fields of a /proc stat file after the name in parentheses (state
// first), with the name.
std::vector<std::string> statFields(const std::string& path, std::string* name = nullptr) {
    const std::string text = fileText(path);
    const std::size_t open = text.find('('), close = text.rfind(')');
    std::vector<std::string> fields;
    if (open == std::string::npos || close == std::string::npos || close < open) return fields;
    if (name != nullptr) *name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    for (std::string field; rest >> field;) fields.push_back(field);
    return fields;
}

ThreadUse useOf(long thread) {
    ThreadUse use;
    const std::vector<std::string> fields = statFields("/proc/self/task/" + std::to_string(thread) + "/stat");
    use.runnable = !fields.empty() && fields[0] == "R";
    // The thread's CPU clock, as the C library makes it for a thread of this
    // process (nanoseconds); the counts in its stat file (clock ticks) else.
    const auto clock = static_cast<clockid_t>((~static_cast<unsigned>(thread) << 3) | 6);
    timespec time{};
    if (clock_gettime(clock, &time) == 0) {
        use.cpuSeconds = static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
    } else if (fields.size() >= 13) {
        const double ticks = std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
        use.cpuSeconds = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return use;
}

ChildProcess childProcess(long id) {
    ChildProcess child;
    child.id = id;
    const std::vector<std::string> fields = statFields("/proc/" + std::to_string(id) + "/stat", &child.name);
    child.ended = !fields.empty() && fields[0] == "Z";
    return child;
}

}  // namespace

ThreadNumber currentThreadNumber() {
    return static_cast<ThreadNumber>(syscall(SYS_gettid));
}

std::map<ThreadNumber, ThreadUse> threadUse() {
    std::map<ThreadNumber, ThreadUse> threads;
    for (long thread : numberedEntries("/proc/self/task")) threads[static_cast<ThreadNumber>(thread)] = useOf(thread);
    return threads;
}

std::vector<ChildProcess> childProcesses() {
    std::vector<ChildProcess> children;
    bool listed = false;
    for (long thread : numberedEntries("/proc/self/task")) {
        std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/children");
        listed = listed || file.is_open();
        for (long child; file >> child;) children.push_back(childProcess(child));
    }
    if (listed) return children;
    // A system without those lists: every process whose parent is this one.
    const std::string self = std::to_string(getpid());
    for (long process : numberedEntries("/proc")) {
        const std::vector<std::string> fields = statFields("/proc/" + std::to_string(process) + "/stat");
        if (fields.size() > 1 && fields[1] == self) children.push_back(childProcess(process));
    }
    return children;
}

int openDescriptors() {
    return static_cast<int>(numberedEntries("/proc/self/fd", true).size());
}

const char* descriptorsWord() {
    return "descriptors";
}

double cpuWaitSeconds() {
    // schedstat: time on the CPU, time waiting for it (ns), time slices.
    std::ifstream file("/proc/thread-self/schedstat");
    unsigned long long running = 0, waiting = 0;
    if (!(file >> running >> waiting)) return 0;
    return static_cast<double>(waiting) / 1e9;
}

#endif

}  // namespace nimbrel::check
