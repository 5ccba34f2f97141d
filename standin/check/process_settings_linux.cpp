// What a Linux process shares, as the system reports it: the host thread's
// status in /proc (every line but the counters that change by themselves),
// every resource limit, the handler of every signal, the host's descriptors,
// and the process attributes that a plug-in could change with one call.
// Read into buffers on the stack: nothing here allocates.

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "standin/check/process_state.h"

namespace nimbrel::check {
namespace {

std::vector<int> hostDescriptors;

// Lines of /proc/thread-self/status that change by themselves (memory,
// counters, the state of the moment), or that another setting shows better
// (the signal dispositions, the descriptors, the threads).
const char* const kUncompared[] = {"State",
                                   "FDSize",
                                   "VmPeak",
                                   "VmSize",
                                   "VmLck",
                                   "VmPin",
                                   "VmHWM",
                                   "VmRSS",
                                   "RssAnon",
                                   "RssFile",
                                   "RssShmem",
                                   "VmData",
                                   "VmStk",
                                   "VmExe",
                                   "VmLib",
                                   "VmPTE",
                                   "VmSwap",
                                   "HugetlbPages",
                                   "Threads",
                                   "SigQ",
                                   "SigPnd",
                                   "ShdPnd",
                                   "SigIgn",
                                   "SigCgt",
                                   "Cpus_allowed",
                                   "Mems_allowed",
                                   "voluntary_ctxt_switches",
                                   "nonvoluntary_ctxt_switches"};

// The file's text, cut to the buffer, zero-terminated.
const char* readText(const char* path, char* buffer, std::size_t size) {
    buffer[0] = '\0';
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) return buffer;
    std::size_t length = 0;
    for (ssize_t got; length + 1 < size && (got = read(file, buffer + length, size - 1 - length)) > 0;)
        length += static_cast<std::size_t>(got);
    close(file);
    buffer[length] = '\0';
    return buffer;
}

const char* signalName(int signal, char* buffer, std::size_t size) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 32)
    if (const char* abbreviation = sigabbrev_np(signal)) {
        std::snprintf(buffer, size, "SIG%s", abbreviation);
        return buffer;
    }
#endif
    std::snprintf(buffer, size, "signal %d", signal);
    return buffer;
}

// "SIGINT, SIGTERM blocked", from the status file's mask in hex (bit n - 1 is signal n).
const char* blockedSignals(const char* hexMask, char* buffer, std::size_t size) {
    const unsigned long long mask = std::strtoull(hexMask, nullptr, 16);
    buffer[0] = '\0';
    for (int signal = 1; signal <= 64; ++signal) {
        if (((mask >> (signal - 1)) & 1) == 0) continue;
        char name[32];
        const std::size_t used = std::strlen(buffer);
        std::snprintf(buffer + used, size - used, "%s%s", used == 0 ? "" : ", ", signalName(signal, name, sizeof name));
    }
    if (buffer[0] == '\0')
        std::snprintf(buffer, size, "nothing blocked");
    else
        std::strncat(buffer, " blocked", size - std::strlen(buffer) - 1);
    return buffer;
}

// Each "Name:\tvalue" line of the host thread's status.
void addStatus(std::string& settings) {
    char text[8192];
    readText("/proc/thread-self/status", text, sizeof text);
    for (char* line = text; *line != '\0';) {
        char* end = std::strchr(line, '\n');
        if (end != nullptr) *end = '\0';
        if (char* colon = std::strchr(line, ':')) {
            *colon = '\0';
            const char* value = colon + 1;
            while (*value == ' ' || *value == '\t') ++value;
            const bool compared = std::none_of(std::begin(kUncompared), std::end(kUncompared),
                                               [line](const char* name) { return std::strcmp(name, line) == 0; });
            char shown[512];
            if (!compared) {
            } else if (std::strcmp(line, "Umask") == 0) {
                addSetting(settings, "the umask", value);
            } else if (std::strcmp(line, "SigBlk") == 0) {
                addSetting(settings, "the signal mask of the host's thread",
                           blockedSignals(value, shown, sizeof shown));
            } else if (std::strcmp(line, "Cpus_allowed_list") == 0) {
                addSetting(settings, "the CPUs the host's thread may run on", value);
            } else if (std::strcmp(line, "Name") == 0) {
                std::snprintf(shown, sizeof shown, "\"%.500s\"", value);
                addSetting(settings, "the host thread's name", shown);
            } else {
                std::snprintf(shown, sizeof shown, "%.400s (as /proc/thread-self/status reports it)", line);
                addSetting(settings, shown, value);
            }
        }
        if (end == nullptr) break;
        line = end + 1;
    }
}

// Each row of /proc/self/limits: its columns are set apart by runs of blanks
// ("Max open files            1024                 524288               files").
void addLimits(std::string& settings) {
    char text[4096];
    readText("/proc/self/limits", text, sizeof text);
    char* line = std::strchr(text, '\n');  // after the heading
    while (line != nullptr && *++line != '\0') {
        char* end = std::strchr(line, '\n');
        if (end != nullptr) *end = '\0';
        const char* columns[3] = {};
        int count = 0;
        for (char* at = line; count < 3 && *at != '\0';) {
            columns[count++] = at;
            char* gap = std::strstr(at, "  ");
            if (gap == nullptr) break;
            *gap = '\0';
            at = gap + 1;
            while (*at == ' ') ++at;
        }
        if (count == 3) {
            char what[128], value[128];
            std::snprintf(what, sizeof what, "the resource limit \"%s\"", columns[0]);
            std::snprintf(value, sizeof value, "%s (hard %s)", columns[1], columns[2]);
            addSetting(settings, what, value);
        }
        line = end;
    }
}

// The flags that change what a signal does (the C library sets others of its own).
constexpr int kFlagsCompared = SA_SIGINFO | SA_RESETHAND | SA_NODEFER | SA_RESTART | SA_ONSTACK;

void addSignalHandlers(std::string& settings) {
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0) continue;  // the C library's own
        char name[32], what[64], value[96];
        std::snprintf(what, sizeof what, "the handler of %s", signalName(signal, name, sizeof name));
        if (action.sa_handler == SIG_DFL)
            std::snprintf(value, sizeof value, "the default action");
        else if (action.sa_handler == SIG_IGN)
            std::snprintf(value, sizeof value, "ignored");
        else
            std::snprintf(value, sizeof value, "a handler at %p (flags 0x%x)",
                          reinterpret_cast<void*>(action.sa_handler),
                          static_cast<unsigned>(action.sa_flags & kFlagsCompared));
        addSetting(settings, what, value);
    }
}

void addHostDescriptors(std::string& settings) {
    for (int descriptor : hostDescriptors) {
        char link[64], target[4096], what[64], value[4100];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
        const ssize_t length = readlink(link, target, sizeof target - 1);
        if (length < 0) {
            std::snprintf(value, sizeof value, "closed");
        } else {
            target[length] = '\0';
            std::snprintf(value, sizeof value, "\"%s\"", target);
        }
        std::snprintf(what, sizeof what, "the host's descriptor %d", descriptor);
        addSetting(settings, what, value);
    }
}

void addNumber(std::string& settings, const char* what, const char* format, long long number) {
    char value[32];
    std::snprintf(value, sizeof value, format, number);
    addSetting(settings, what, value);
}

void addAttributes(std::string& settings) {
    addNumber(settings, "the nice value of the host's thread", "%lld", getpriority(PRIO_PROCESS, 0));
    addNumber(settings, "the scheduling policy of the host's thread", "%lld", sched_getscheduler(0));
    addNumber(settings, "the process's personality", "0x%llx", static_cast<unsigned>(personality(0xffffffff)));
    addNumber(settings, "whether the process may dump core", "%lld", prctl(PR_GET_DUMPABLE));
    int subreaper = 0;
    prctl(PR_GET_CHILD_SUBREAPER, &subreaper);
    addNumber(settings, "whether the process is a child subreaper", "%lld", subreaper);
    const struct {
        int timer;
        const char* name;
    } kTimers[] = {{ITIMER_REAL, "the alarm timer (ITIMER_REAL)"},
                   {ITIMER_VIRTUAL, "the timer ITIMER_VIRTUAL"},
                   {ITIMER_PROF, "the timer ITIMER_PROF"}};
    for (const auto& timer : kTimers) {
        itimerval value{};
        getitimer(timer.timer, &value);
        addSetting(settings, timer.name,
                   value.it_value.tv_sec != 0 || value.it_value.tv_usec != 0 ? "armed" : "not armed");
    }
    addSetting(settings, "the host thread's own locale (uselocale)",
               uselocale(static_cast<locale_t>(nullptr)) == LC_GLOBAL_LOCALE ? "none" : "one of its own");
    stack_t stack{};
    char alternate[64] = "none";
    if (sigaltstack(nullptr, &stack) == 0 && (stack.ss_flags & SS_DISABLE) == 0)
        std::snprintf(alternate, sizeof alternate, "%zu bytes at %p", stack.ss_size, stack.ss_sp);
    addSetting(settings, "the host thread's alternate signal stack", alternate);
}

}  // namespace

void noteHostDescriptors() {
    hostDescriptors.clear();
    if (DIR* entries = opendir("/proc/self/fd")) {
        const int own = dirfd(entries);
        while (const dirent* entry = readdir(entries))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own)
                hostDescriptors.push_back(std::atoi(entry->d_name));
        closedir(entries);
    }
    std::sort(hostDescriptors.begin(), hostDescriptors.end());
}

void addSystemSettings(std::string& settings) {
    addStatus(settings);
    addLimits(settings);
    addSignalHandlers(settings);
    addHostDescriptors(settings);
    addAttributes(settings);
}

}  // namespace nimbrel::check
