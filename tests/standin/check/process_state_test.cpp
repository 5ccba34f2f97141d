// What the check names when a call changes what the process shares: one
// change at a time, made in this process between two snapshots, and put back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <clocale>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "standin/check/process_state.h"
#include "tests/support/environment.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using nimbrel::check::captureProcessState;
using nimbrel::check::processStateChanges;

struct Change {
    const char* name;
    std::function<std::string()> make;  // makes the change; gives the phrase it must be named by
    std::function<void()> undo;
    bool wholePhrase = true;               // else the phrase is how the one change begins
    std::function<void()> before = [] {};  // what must be there before the first snapshot
};

void PrintTo(const Change& c, std::ostream* out) {
    *out << c.name;
}

class ProcessState : public ::testing::TestWithParam<Change> {};

TEST_P(ProcessState, NamesTheOneChange) {
    const Change& c = GetParam();
    c.before();
    nimbrel::check::noteHostDescriptors();
    const auto before = captureProcessState();
    const std::string phrase = c.make();
    const auto after = captureProcessState();
    c.undo();
    const std::vector<std::string> changes = processStateChanges(before, after);
    ASSERT_EQ(changes.size(), 1u) << ::testing::PrintToString(changes);
    if (c.wholePhrase)
        EXPECT_EQ(changes[0], phrase);
    else
        EXPECT_EQ(changes[0].substr(0, phrase.size()), phrase);
    EXPECT_EQ(processStateChanges(before, captureProcessState()), std::vector<std::string>{});
}

#if !defined(_WIN32)
int descriptor = -1;
mode_t umaskWas = 0;

std::string octal(mode_t mask) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mask));
    return text;
}

std::string limitText(const rlimit& limit) {
    auto number = [](rlim_t value) {
        return value == RLIM_INFINITY ? std::string("unlimited") : std::to_string(value);
    };
    return number(limit.rlim_cur) + " (hard " + number(limit.rlim_max) + ")";
}

rlimit coreFiles() {
    rlimit limit{};
    getrlimit(RLIMIT_CORE, &limit);
    return limit;
}
rlimit coreWas{};
#endif

INSTANTIATE_TEST_SUITE_P(
    Changes, ProcessState,
    ::testing::Values(
        Change{"environment",
               [] {
                   kelvane::testing::setEnvironment("KELVANE_STATE_TEST", "1");
                   return std::string("changed the environment (KELVANE_STATE_TEST)");
               },
               [] { kelvane::testing::setEnvironment("KELVANE_STATE_TEST", ""); }},
        Change{"rounding",
               [] {
                   std::fesetround(FE_UPWARD);
                   return std::string(
                       "changed the floating-point control (rounding, exception masks or flush-to-zero) from ");
               },
               [] { std::fesetround(FE_TONEAREST); }, false},
        Change{"locale",
               [] {
                   std::setlocale(LC_ALL, "C");
                   if (std::setlocale(LC_NUMERIC, "C.UTF-8") == nullptr) std::setlocale(LC_NUMERIC, "");
                   return std::string("changed the locale from \"C\" to ");
               },
               [] { std::setlocale(LC_ALL, "C"); }, false}
#if defined(_WIN32)
        ,
        Change{"error mode",
               [] {
                   SetErrorMode(GetErrorMode() ^ SEM_NOOPENFILEERRORBOX);
                   return std::string("changed the error mode from ");
               },
               [] { SetErrorMode(GetErrorMode() ^ SEM_NOOPENFILEERRORBOX); }, false},
        Change{"DLL search folder",
               [] {
                   SetDllDirectoryW(L"C:\\");
                   return std::string("changed the DLL search folder from (none) to \"C:\\\"");
               },
               [] { SetDllDirectoryW(nullptr); }}
#else
        ,
        Change{"umask",
               [] {
                   umaskWas = umask(0);
                   const mode_t now = umaskWas == 077 ? 022 : 077;
                   umask(now);
                   return "changed the umask from " + octal(umaskWas) + " to " + octal(now);
               },
               [] { umask(umaskWas); }},
        Change{"core file limit",
               [] {
                   const rlimit was = coreFiles();
                   rlimit other = was;
                   other.rlim_cur = was.rlim_cur == 0 ? std::min<rlim_t>(4096, was.rlim_max) : 0;
                   setrlimit(RLIMIT_CORE, &other);
                   return "changed the resource limit \"Max core file size\" from " + limitText(was) + " to " +
                          limitText(coreFiles());
               },
               [] { setrlimit(RLIMIT_CORE, &coreWas); }, true, [] { coreWas = coreFiles(); }},
        Change{"signal mask",
               [] {
                   sigset_t blocked;
                   sigemptyset(&blocked);
                   sigaddset(&blocked, SIGUSR1);
                   sigaddset(&blocked, SIGTERM);
                   pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
                   return std::string(
                       "changed the signal mask of the host's thread from nothing blocked to "
                       "SIGUSR1, SIGTERM blocked");
               },
               [] {
                   sigset_t none;
                   sigemptyset(&none);
                   pthread_sigmask(SIG_SETMASK, &none, nullptr);
               }},
        Change{"signal handler",
               [] {
                   signal(SIGUSR2, SIG_IGN);
                   return std::string("changed the handler of SIGUSR2 from the default action to ignored");
               },
               [] { signal(SIGUSR2, SIG_DFL); }},
        Change{"alarm",
               [] {
                   alarm(100);
                   return std::string("changed the alarm timer (ITIMER_REAL) from not armed to armed");
               },
               [] { alarm(0); }},
        Change{"a host descriptor pointed elsewhere",
               [] {
                   const int other = open("/dev/zero", O_RDONLY);
                   dup2(other, descriptor);
                   close(other);
                   return "changed the host's descriptor " + std::to_string(descriptor) +
                          " from \"/dev/null\" to \"/dev/zero\"";
               },
               [] {
                   const int null = open("/dev/null", O_RDONLY);
                   dup2(null, descriptor);
                   close(null);
               },
               true, [] { descriptor = open("/dev/null", O_RDONLY); }},
        // A kind no one named: it is seen as the system reports it.
        Change{"transparent huge pages",
               [] {
                   prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
                   return std::string("changed THP_enabled (as /proc/thread-self/status reports it) from 1 to 0");
               },
               [] { prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0); }}
#endif
        ),
    [](const ::testing::TestParamInfo<Change>& info) {
        std::string name;
        for (const char* c = info.param.name; *c != '\0'; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
        return name;
    });

}  // namespace
