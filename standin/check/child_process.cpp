#include "standin/check/child_process.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>

#include "standin/base/native_path.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "standin/plugin/process_end.h"

namespace nimbrel::check {
namespace {

ChildEnd ended(ChildEnd::Kind kind, int code, std::string description) {
    return {kind, code, std::move(description), std::chrono::steady_clock::now()};
}

ChildEnd timedOut(double timeLimitSeconds) {
    char text[64];
    std::snprintf(text, sizeof text, "no end within %g s, killed", timeLimitSeconds);
    return ended(ChildEnd::Kind::TimedOut, 0, text);
}

// The time limit, started again whenever the child makes progress.
class ProgressDeadline {
public:
    ProgressDeadline(double seconds, const std::function<std::uintmax_t()>& progress)
        : limit_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))),
          progress_(progress),
          deadline_(Clock::now() + limit_) {}
    bool passed() {
        if (progress_) {
            const std::uintmax_t now = progress_();
            if (now != last_) {
                last_ = now;
                deadline_ = Clock::now() + limit_;
            }
        }
        return Clock::now() >= deadline_;
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::duration limit_;
    const std::function<std::uintmax_t()>& progress_;
    Clock::time_point deadline_;
    std::uintmax_t last_ = 0;
};

}  // namespace

#if defined(_WIN32)

namespace {

constexpr int kStartAttempts = 5;
constexpr DWORD kStartRetryMilliseconds = 200;

std::string quoted(const std::string& argument) {
    std::string text = "\"";
    for (char c : argument) text += c == '"' ? std::string("\\\"") : std::string(1, c);
    return text + "\"";
}

LONG WINAPI endWithExceptionCode(EXCEPTION_POINTERS* exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds,
                  const ChildOptions& options) {
    std::string commandLine;
    for (const std::string& argument : arguments) commandLine += (commandLine.empty() ? "" : " ") + quoted(argument);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    std::wstring wideCommandLine = wideText(commandLine);
    HANDLE nowhere =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process{};
    // A loaded system (Wine's server above all) now and then refuses a start
    // with a passing error; only a missing or unusable program is final.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (CreateProcessW(nativePath(program).c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &process)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_EXE_FORMAT ||
            error == ERROR_ACCESS_DENIED)
            break;
        Sleep(kStartRetryMilliseconds);
    }
    if (nowhere != INVALID_HANDLE_VALUE) CloseHandle(nowhere);
    if (error != ERROR_SUCCESS)
        return ended(ChildEnd::Kind::NotStarted, static_cast<int>(error),
                     "cannot start " + program + " (error " + std::to_string(error) + ")");
    CloseHandle(process.hThread);
    ProgressDeadline deadline(timeLimitSeconds, options.progress);
    const ChildWait wait = waitForChild(process.hProcess, [&deadline] { return deadline.passed(); });
    CloseHandle(process.hProcess);
    if (wait.result == ChildWait::Result::Failed)
        return ended(ChildEnd::Kind::NotStarted, wait.error,
                     "cannot wait for the check (error " + std::to_string(wait.error) + ")");
    if (wait.result == ChildWait::Result::Killed) return timedOut(timeLimitSeconds);
    const auto code = static_cast<DWORD>(wait.status);
    // Exception codes have the two top bits set (0xC0000005: access violation).
    if ((code & 0xC0000000u) == 0xC0000000u) return ended(ChildEnd::Kind::Crashed, wait.status, exceptionEnd(code));
    return ended(ChildEnd::Kind::Exited, wait.status, exitEnd(wait.status));
}

void endQuietlyOnCrash() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endWithExceptionCode);
}

namespace {

HANDLE endingChannel = INVALID_HANDLE_VALUE;

// Faults that no module's code raises on purpose.
bool isCrash(DWORD code) {
    return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
           code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_STACK_OVERFLOW ||
           code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_IN_PAGE_ERROR;
}

LONG WINAPI noteCrash(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (isCrash(code) && endingChannel != INVALID_HANDLE_VALUE) {
        const std::string line = "fault " + exceptionEnd(code) + "\n";
        DWORD written = 0;
        WriteFile(endingChannel, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        endingChannel = INVALID_HANDLE_VALUE;  // once
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void limitFileSizes(std::uint64_t) {}

void noteCrashAsProcessEnds(int descriptor) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE || !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(),
                                                           &endingChannel, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return;
    AddVectoredExceptionHandler(1, noteCrash);
}

#else

ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds,
                  const ChildOptions& options) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables = options.environment;
    auto added = [&options](const char* entry) {
        for (const std::string& variable : options.environment)
            if (std::strncmp(entry, variable.c_str(), variable.find('=') + 1) == 0) return true;
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!added(*entry)) variables.emplace_back(*entry);
    std::vector<char*> environment;
    for (std::string& variable : variables) environment.push_back(&variable[0]);
    environment.push_back(nullptr);
    const std::string out = options.outputStem.empty() ? "/dev/null" : options.outputStem + ".out";
    const std::string err = options.outputStem.empty() ? "/dev/null" : options.outputStem + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int failed = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return ended(ChildEnd::Kind::NotStarted, failed, "cannot start " + program + ": " + strerror(failed));

    ProgressDeadline deadline(timeLimitSeconds, options.progress);
    const ChildWait wait = waitForChild(child, [&deadline] { return deadline.passed(); });
    if (wait.result == ChildWait::Result::Failed)
        return ended(ChildEnd::Kind::NotStarted, wait.error,
                     std::string("cannot wait for the check: ") + strerror(wait.error));
    if (wait.result == ChildWait::Result::Killed) return timedOut(timeLimitSeconds);
    if (WIFSIGNALED(wait.status)) return ended(ChildEnd::Kind::Crashed, WTERMSIG(wait.status), statusEnd(wait.status));
    return ended(ChildEnd::Kind::Exited, WEXITSTATUS(wait.status), statusEnd(wait.status));
}

void endQuietlyOnCrash() {}

void limitFileSizes(std::uint64_t bytes) {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > bytes) limit.rlim_max = bytes;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
}

void noteCrashAsProcessEnds(int) {}

#endif

}  // namespace nimbrel::check
