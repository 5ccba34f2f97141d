#include "standin/plugin/plugin_watch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "standin/cli/exit_status.h"
#include "standin/host/host_session.h"
#include "standin/plugin/process_end.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace nimbrel {
namespace {

// The call now running, as the watcher sees it (from another process on
// POSIX systems). Every mark counts, so that each call is timed on its own.
struct CallState {
    std::atomic<const char*> call{nullptr};
    std::atomic<std::uint64_t> marks{0};
};

CallState unwatched;
CallState* current = &unwatched;

constexpr std::chrono::milliseconds kPollInterval{10};

// Text on standard error, written at once and without the C library's locks
// (another thread may hold them when the watchdog speaks).
void writeRaw(const char* text, std::size_t size) {
#if defined(_WIN32)
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(size), &written, nullptr);
#else
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::write(2, text + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
#endif
}

// One line on standard error.
void writeError(const std::string& message) {
    const std::string line = "Nimbrel.exe: error: " + message + "\n";
    writeRaw(line.data(), line.size());
}

// What the stand-in is doing, kept where an out-of-memory line can read it
// without asking for memory.
char activity[256] = "starting";

}  // namespace

// Asks for no memory on the way.
void exitOutOfMemory() {
    const char* call = current->call.load();
    char line[512];
    const int size =
        call != nullptr
            ? std::snprintf(line, sizeof line, "Nimbrel.exe: error: out of memory %s (in %s)\n", activity, call)
            : std::snprintf(line, sizeof line, "Nimbrel.exe: error: out of memory %s\n", activity);
    writeRaw(line, size > 0 ? std::min(static_cast<std::size_t>(size), sizeof line - 1) : 0);
    // The stand-in's own failure: the watcher passes the status on as it is.
    markPluginCall(nullptr);
    std::_Exit(kExitOutOfMemory);
}

namespace {

// operator new's answer to memory it cannot get. The plug-in's own
// allocations (during a plug-in call, outside the host functions) fail as
// usual, for the plug-in to handle.
void onOutOfMemory() {
    if (current->call.load() != nullptr && !ServingHostFunction::active()) throw std::bad_alloc();
    exitOutOfMemory();
}

// Times the marked calls from the watcher's side.
class CallClock {
public:
    // The call that has run longer than limit seconds, or null.
    const char* overdue(const CallState& state, double limit) {
        const auto now = std::chrono::steady_clock::now();
        const std::uint64_t marks = state.marks.load();
        if (marks != marks_) {
            marks_ = marks;
            since_ = now;
        }
        const char* call = state.call.load();
        if (call == nullptr || !(limit > 0)) return nullptr;
        return std::chrono::duration<double>(now - since_).count() > limit ? call : nullptr;
    }

private:
    std::uint64_t marks_ = 0;
    std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
};

void reportTimeout(const char* call, double limit) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", limit);
    writeError(std::string("the plug-in timed out in ") + call + ": still running after " + seconds +
               " s (--timeout), so it was stopped");
}

// "the plug-in crashed in execute: <how>", or the stand-in's own crash.
int reportCrash(const char* call, const std::string& how) {
    if (call == nullptr) {
        writeError("the stand-in crashed: " + how);
        return kExitInternal;
    }
    writeError(std::string("the plug-in crashed in ") + call + ": " + how);
    return kExitPluginCrashed;
}

#if defined(_WIN32)
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info) {
    const unsigned long code = info->ExceptionRecord->ExceptionCode;
    const int status = reportCrash(current->call.load(), exceptionEnd(code));
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    return EXCEPTION_EXECUTE_HANDLER;
}
#endif

}  // namespace

void noteActivity(const std::string& what) {
    std::snprintf(activity, sizeof activity, "%s", what.c_str());
}

void markPluginCall(const char* call) {
    current->call.store(call);
    current->marks.fetch_add(1);
}

#if defined(_WIN32)

int runWatched(double timeoutSeconds, const std::function<int()>& run) {
    std::set_new_handler(onOutOfMemory);
    SetUnhandledExceptionFilter(onUnhandledException);
    std::atomic<bool> finished{false};
    std::thread watchdog;
    if (timeoutSeconds > 0)
        watchdog = std::thread([&finished, timeoutSeconds] {
            CallClock clock;
            while (!finished.load()) {
                if (const char* call = clock.overdue(*current, timeoutSeconds)) {
                    reportTimeout(call, timeoutSeconds);
                    TerminateProcess(GetCurrentProcess(), kExitPluginTimedOut);
                }
                std::this_thread::sleep_for(kPollInterval);
            }
        });
    const int status = run();
    finished.store(true);
    if (watchdog.joinable()) watchdog.join();
    return status;
}

#else

int runWatched(double timeoutSeconds, const std::function<int()>& run) {
    std::set_new_handler(onOutOfMemory);
    void* shared = mmap(nullptr, sizeof(CallState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return run();  // unwatched rather than not at all
    CallState* watched = new (shared) CallState;
    current = watched;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        current = &unwatched;
        munmap(shared, sizeof(CallState));
        return run();
    }
    if (child == 0) {
        // An output closed early is a failed write, reported as such.
        std::signal(SIGPIPE, SIG_IGN);
        std::exit(run());
    }

    CallClock clock;
    const char* overdueCall = nullptr;
    const ChildWait wait =
        waitForChild(child, [&] { return (overdueCall = clock.overdue(*watched, timeoutSeconds)) != nullptr; });
    if (wait.result == ChildWait::Result::Failed) {
        writeError(std::string("cannot watch the run: ") + std::strerror(wait.error));
        return kExitInternal;
    }
    if (wait.result == ChildWait::Result::Killed) {
        reportTimeout(overdueCall, timeoutSeconds);
        return kExitPluginTimedOut;
    }
    const int status = wait.status;
    const char* call = watched->call.load();
    current = &unwatched;
    munmap(shared, sizeof(CallState));
    if (WIFSIGNALED(status)) return reportCrash(call, statusEnd(status));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : kExitInternal;
    if (call == nullptr) return code;
    writeError(std::string("the plug-in ended the process in ") + call + ": " + exitEnd(code));
    return kExitPluginCrashed;
}

#endif

}  // namespace nimbrel
