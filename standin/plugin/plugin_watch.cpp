#include "standin/plugin/plugin_watch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "standin/base/activity.h"
#include "standin/base/error_lines.h"
#include "standin/host/host_session.h"
#include "standin/plugin/process_end.h"
#include "standin/plugin/watch_lines.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

namespace nimbrel {
namespace {

WatchState unwatched;
WatchState* current = &unwatched;
EndStatus endStatus = nullptr;  // set by runWatched

constexpr std::chrono::milliseconds kPollInterval{10};

void copyText(char* to, std::size_t size, const std::string& text) {
    std::snprintf(to, size, "%s", text.c_str());
}

}  // namespace

// Asks for no memory on the way.
void exitOutOfMemory(int status) {
    const char* call = current->call.load();
    char line[512];
    const int size = call != nullptr ? std::snprintf(line, sizeof line, "%sout of memory %s (in %s)\n", kErrorPrefix,
                                                     currentActivity().text, call)
                                     : std::snprintf(line, sizeof line, "%sout of memory %s\n", kErrorPrefix,
                                                     currentActivity().text);
    writeRaw(line, size > 0 ? std::min(static_cast<std::size_t>(size), sizeof line - 1) : 0);
    // The stand-in's own failure: the watcher passes the status on as it is.
    markPluginCall(nullptr);
    std::_Exit(status);
}

namespace {

// operator new's answer to memory it cannot get. The plug-in's own
// allocations (during a plug-in call, outside the host functions) fail as
// usual, for the plug-in to handle.
void onOutOfMemory() {
    if (current->call.load() != nullptr && !ServingHostFunction::active()) throw std::bad_alloc();
    exitOutOfMemory(endStatus(RunEnd::OutOfMemory));
}

// Times the marked calls from the watcher's side.
class CallClock {
public:
    // The call that has run longer than limit seconds, or null.
    const char* overdue(const WatchState& state, double limit) {
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

#if defined(_WIN32)

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* info) {
    const unsigned long code = info->ExceptionRecord->ExceptionCode;
    const RunEnd end = reportCrash(current->call.load(), exceptionEnd(code), *current);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(endStatus(end)));
    return EXCEPTION_EXECUTE_HANDLER;
}

// 1 while the outputs are put in place, 2 once they are.
std::atomic<int> finishing{0};

// A console event on a thread of its own: the run is stopped at once, and
// the temporary files, marked to go when their handles close, go with the
// process. Once the outputs are being put in place, the run ends as it was.
BOOL WINAPI onConsoleStop(DWORD event) {
    if (finishing.load() != 0) {
        while (finishing.load() == 1) Sleep(10);
        return TRUE;
    }
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    reportStop(event == CTRL_C_EVENT       ? "Ctrl-C"
               : event == CTRL_BREAK_EVENT ? "Ctrl-Break"
                                           : "closing the console",
               *current);
    TerminateProcess(GetCurrentProcess(),
                     static_cast<UINT>(endStatus(interrupt ? RunEnd::Interrupted : RunEnd::HangUp)));
    return TRUE;
}

#else

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t stopSignal = 0;
int stoppedBy = 0;  // the signal that stopped the run, once it is reported
pid_t watcher = 0;  // the stand-in's process, as its child knows it

extern "C" void onStop(int signal) {
    if (stopSignal == 0) stopSignal = signal;
}

// In the child: the run is the stand-in's process's to stop.
extern "C" void passStopToWatcher(int signal) {
    ::kill(watcher, signal);
}

// Handles the stop signals (SIG_DFL: as the system does), leaving ignored
// those that were ignored when the program started (nohup, a background job).
void handleStops(void (*handler)(int)) {
    for (int signal : kStopSignals) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

const char* stopName(int signal) {
    switch (signal) {
        case SIGINT:
            return "Ctrl-C (SIGINT)";
        case SIGHUP:
            return "SIGHUP (the terminal closed)";
        default:
            return "SIGTERM";
    }
}

// How the signal ended the run.
RunEnd stopEnd(int signal) {
    switch (signal) {
        case SIGINT:
            return RunEnd::Interrupted;
        case SIGHUP:
            return RunEnd::HangUp;
        default:
            return RunEnd::Terminated;
    }
}

// The run in this process, when no child can watch it.
WatchedRun runUnwatched(const std::function<int()>& run, const std::function<int(int)>& finish) {
    handleStops(SIG_DFL);
    return {RunEnd::Finished, finish(run())};
}

#endif

}  // namespace

void notePluginModule(const std::string& path) {
    copyText(current->module, sizeof current->module, path);
}

void noteSlotsPastTheHosts(std::size_t count) {
    current->slotsPastTheHosts.store(count);
}

void markPluginCall(const char* call) {
    current->call.store(call);
    current->marks.fetch_add(1);
}

#if defined(_WIN32)

WatchedRun runWatched(double timeoutSeconds, const std::function<int()>& run, const std::function<int(int)>& finish,
                      EndStatus statusOf) {
    endStatus = statusOf;
    std::set_new_handler(onOutOfMemory);
    SetUnhandledExceptionFilter(onUnhandledException);
    SetConsoleCtrlHandler(onConsoleStop, TRUE);
    std::atomic<bool> finished{false};
    std::thread watchdog;
    if (timeoutSeconds > 0)
        watchdog = std::thread([&finished, timeoutSeconds] {
            CallClock clock;
            while (!finished.load()) {
                if (const char* call = clock.overdue(*current, timeoutSeconds)) {
                    reportTimeout(call, timeoutSeconds, *current);
                    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(endStatus(RunEnd::PluginTimedOut)));
                }
                std::this_thread::sleep_for(kPollInterval);
            }
        });
    int status = run();
    finished.store(true);
    if (watchdog.joinable()) watchdog.join();
    finishing.store(1);
    status = finish(status);
    finishing.store(2);
    return {RunEnd::Finished, status};
}

void endAsStopped() {}

void endIfWatcherGone() {}

#else

namespace {

// The run in the child process: ends the process with run's status.
[[noreturn]] void runInChild(const std::function<int()>& run) {
#if defined(__linux__)
    // The child ends at once when the stand-in's process ends, however it
    // ends; and ends now, before anything of the plug-in runs, if it has.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (getppid() != watcher) std::_Exit(endStatus(RunEnd::StandInFailed));
    handleStops(passStopToWatcher);
    // An output closed early is a failed write, reported as such.
    std::signal(SIGPIPE, SIG_IGN);
    std::exit(run());
}

// How the run ended, once its child did (or was killed as overdueCall ran too long).
WatchedRun childEnd(const ChildWait& wait, const char* overdueCall, double timeoutSeconds, const WatchState& watched,
                    const std::function<int(int)>& finish) {
    // A stop that came as the child ended stops the run all the same.
    if (stopSignal != 0) {
        stoppedBy = stopSignal;
        reportStop(stopName(stoppedBy), watched);
        return {stopEnd(stoppedBy)};
    }
    if (wait.result == ChildWait::Result::Failed) {
        writeError(std::string("cannot watch the run: ") + std::strerror(wait.error));
        return {RunEnd::StandInFailed};
    }
    if (wait.result == ChildWait::Result::Killed) {
        reportTimeout(overdueCall, timeoutSeconds, watched);
        return {RunEnd::PluginTimedOut};
    }
    const int status = wait.status;
    const char* call = watched.call.load();
    if (WIFSIGNALED(status)) return {reportCrash(call, statusEnd(status), watched)};
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : endStatus(RunEnd::StandInFailed);
    if (call == nullptr) return {RunEnd::Finished, finish(code)};
    writeError(std::string("the plug-in ended the process in ") + call + ": " + exitEnd(code));
    writeLead(watched);
    return {RunEnd::PluginCrashed};
}

}  // namespace

WatchedRun runWatched(double timeoutSeconds, const std::function<int()>& run, const std::function<int(int)>& finish,
                      EndStatus statusOf) {
    endStatus = statusOf;
    std::set_new_handler(onOutOfMemory);
    handleStops(onStop);
    void* shared = mmap(nullptr, sizeof(WatchState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return runUnwatched(run, finish);
    WatchState* watched = new (shared) WatchState;
    struct Unmap {
        void* shared;
        ~Unmap() {
            current = &unwatched;
            keepActivityIn(nullptr);
            munmap(shared, sizeof(WatchState));
        }
    } unmap{shared};
    keepActivityIn(&watched->activity);
    current = watched;
    watcher = getpid();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        current = &unwatched;
        keepActivityIn(nullptr);
        return runUnwatched(run, finish);
    }
    if (child == 0) runInChild(run);

    CallClock clock;
    const char* overdueCall = nullptr;
    const ChildWait wait = waitForChild(
        child, [&] { return stopSignal != 0 || (overdueCall = clock.overdue(*watched, timeoutSeconds)) != nullptr; });
    return childEnd(wait, overdueCall, timeoutSeconds, *watched, finish);
}

void endIfWatcherGone() {
    if (watcher != 0 && getpid() != watcher && getppid() != watcher) std::_Exit(endStatus(RunEnd::StandInFailed));
}

void endAsStopped() {
    if (stoppedBy == 0) return;
    std::signal(stoppedBy, SIG_DFL);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, stoppedBy);
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    std::raise(stoppedBy);
    std::_Exit(128 + stoppedBy);
}

#endif

}  // namespace nimbrel
