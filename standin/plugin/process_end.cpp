#include "standin/plugin/process_end.h"

#include <chrono>
#include <cstdio>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#endif

namespace nimbrel {
namespace {

constexpr std::chrono::milliseconds kPollInterval{5};

const char* signalWords(int signal) {
    switch (signal) {
#if !defined(_WIN32)
        case SIGSEGV:
            return "segmentation fault";
        case SIGBUS:
            return "bus error";
        case SIGFPE:
            return "arithmetic error";
        case SIGILL:
            return "illegal instruction";
        case SIGABRT:
            return "aborted";
        case SIGKILL:
            return "killed";
        case SIGTERM:
            return "terminated";
        case SIGINT:
            return "interrupted";
        case SIGTRAP:
            return "trace trap";
        case SIGSYS:
            return "bad system call";
        case SIGXFSZ:
            return "file size limit exceeded";
#endif
        default:
            return "an unexpected signal";
    }
}

const char* exceptionWords(unsigned long code) {
    switch (code) {
        case 0xC0000005ul:
            return "access violation";
        case 0xC00000FDul:
            return "stack overflow";
        case 0xC0000094ul:
            return "integer division by zero";
        case 0xC0000095ul:
            return "integer overflow";
        case 0xC000001Dul:
            return "illegal instruction";
        case 0xC0000096ul:
            return "privileged instruction";
        case 0xC0000006ul:
            return "in-page error";
        case 0xC000008Cul:
            return "array bounds exceeded";
        case 0xC000008Eul:
            return "floating-point division by zero";
        case 0xC0000090ul:
            return "invalid floating-point operation";
        case 0xC0000409ul:
            return "stack buffer overrun";
        case 0x80000003ul:
            return "breakpoint";
        default:
            return "an unexpected exception";
    }
}

}  // namespace

std::string signalEnd(int signal) {
    return "signal " + std::to_string(signal) + ", " + signalWords(signal);
}

std::string exceptionEnd(unsigned long code) {
    char text[32];
    std::snprintf(text, sizeof text, "exception 0x%08lX, ", code);
    return text + std::string(exceptionWords(code));
}

std::string exitEnd(int status) {
    return "exit status " + std::to_string(status);
}

#if defined(_WIN32)

ChildWait waitForChild(ChildProcess child, const std::function<bool()>& overdue) {
    ChildWait wait;
    const auto poll = static_cast<DWORD>(kPollInterval.count());
    for (;;) {
        const DWORD waited = WaitForSingleObject(child, poll);
        if (waited == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(child, &code);
            wait.status = static_cast<int>(code);
            wait.result = ChildWait::Result::Ended;
            return wait;
        }
        if (waited != WAIT_TIMEOUT) {
            wait.error = static_cast<int>(GetLastError());
            wait.result = ChildWait::Result::Failed;
            return wait;
        }
        if (overdue()) {
            TerminateProcess(child, 1);
            WaitForSingleObject(child, INFINITE);
            wait.result = ChildWait::Result::Killed;
            return wait;
        }
    }
}

#else

ChildWait waitForChild(ChildProcess child, const std::function<bool()>& overdue) {
    ChildWait wait;
    for (;;) {
        const pid_t ended = waitpid(child, &wait.status, WNOHANG);
        if (ended == child) {
            wait.result = ChildWait::Result::Ended;
            return wait;
        }
        // An interrupted wait is tried again; any other failure leaves no status to read.
        if (ended < 0 && errno != EINTR) {
            wait.error = errno;
            wait.result = ChildWait::Result::Failed;
            return wait;
        }
        if (overdue()) {
            kill(child, SIGKILL);
            while (waitpid(child, &wait.status, 0) < 0 && errno == EINTR) {
            }
            wait.result = ChildWait::Result::Killed;
            return wait;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::string statusEnd(int status) {
    if (WIFSIGNALED(status)) return signalEnd(WTERMSIG(status));
    return exitEnd(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

#endif

}  // namespace nimbrel
