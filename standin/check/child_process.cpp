#include "standin/check/child_process.h"

#include <chrono>
#include <cstdio>
#include <thread>

#if defined(_WIN32)
#include <windows.h>

#include "standin/native_path.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace nimbrel::check {
namespace {

ChildEnd ended(ChildEnd::Kind kind, int code, std::string description) {
    return {kind, code, std::move(description)};
}

ChildEnd timedOut(double timeLimitSeconds) {
    char text[64];
    std::snprintf(text, sizeof text, "no end within %g s, killed", timeLimitSeconds);
    return ended(ChildEnd::Kind::TimedOut, 0, text);
}

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

ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds) {
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
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeLimitSeconds * 1000));
    ChildEnd end;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        end = timedOut(timeLimitSeconds);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        // Exception codes have the two top bits set (0xC0000005: access violation).
        if ((code & 0xC0000000u) == 0xC0000000u) {
            char text[64];
            std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(code));
            end = ended(ChildEnd::Kind::Crashed, static_cast<int>(code), text);
        } else {
            end = ended(ChildEnd::Kind::Exited, static_cast<int>(code), "exit status " + std::to_string(code));
        }
    }
    CloseHandle(process.hProcess);
    return end;
}

void endQuietlyOnCrash() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endWithExceptionCode);
}

#else

ChildEnd runChild(const std::string& program, const std::vector<std::string>& arguments, double timeLimitSeconds) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return ended(ChildEnd::Kind::NotStarted, failed, "cannot start " + program + ": " + strerror(failed));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeLimitSeconds);
    int status = 0;
    for (pid_t waited; (waited = waitpid(child, &status, WNOHANG)) != child;) {
        // An interrupted wait is tried again; any other failure leaves no status to read.
        if (waited < 0 && errno != EINTR)
            return ended(ChildEnd::Kind::NotStarted, errno,
                         std::string("cannot wait for the check: ") + strerror(errno));
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return timedOut(timeLimitSeconds);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        return ended(ChildEnd::Kind::Crashed, signal,
                     "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")");
    }
    const int code = WEXITSTATUS(status);
    return ended(ChildEnd::Kind::Exited, code, "exit status " + std::to_string(code));
}

void endQuietlyOnCrash() {}

#endif

}  // namespace nimbrel::check
