// What a Windows process shares: the console's code pages and modes, the
// error mode, the DLL search folder, the unhandled-exception filter, the
// standard handles, the priorities and the processor affinity.

#include <windows.h>

#include <cstdio>
#include <string>

#include "standin/check/process_state.h"
#include "standin/base/native_path.h"

namespace nimbrel::check {
namespace {

std::string hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

std::string address(const void* pointer) {
    return pointer == nullptr ? "none" : hex(reinterpret_cast<unsigned long long>(pointer));
}

std::string consoleMode(DWORD standard) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standard), &mode) ? hex(mode) : "no console";
}

std::string dllDirectory() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetDllDirectoryW(MAX_PATH, folder);
    return length == 0 ? "(none)" : "\"" + utf8Text(folder) + "\"";
}

// The filter as it is: set and put back at once, on the host's thread.
std::string unhandledExceptionFilter() {
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    return address(reinterpret_cast<const void*>(filter));
}

}  // namespace

void noteHostDescriptors() {}

void addSystemSettings(std::string& settings) {
    const auto add = [&settings](const char* what, const std::string& value) {
        addSetting(settings, what, value.c_str());
    };
    add("the console's input code page", std::to_string(GetConsoleCP()));
    add("the console's output code page", std::to_string(GetConsoleOutputCP()));
    add("the console mode of standard input", consoleMode(STD_INPUT_HANDLE));
    add("the console mode of standard output", consoleMode(STD_OUTPUT_HANDLE));
    add("the console mode of standard error", consoleMode(STD_ERROR_HANDLE));
    add("the error mode", hex(GetErrorMode()));
    add("the DLL search folder", dllDirectory());
    add("the unhandled-exception filter", unhandledExceptionFilter());
    add("the standard input handle", address(GetStdHandle(STD_INPUT_HANDLE)));
    add("the standard output handle", address(GetStdHandle(STD_OUTPUT_HANDLE)));
    add("the standard error handle", address(GetStdHandle(STD_ERROR_HANDLE)));
    add("the priority class", hex(GetPriorityClass(GetCurrentProcess())));
    add("the priority of the host's thread", std::to_string(GetThreadPriority(GetCurrentThread())));
    DWORD_PTR process = 0, system = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
    add("the processor affinity", hex(process));
}

}  // namespace nimbrel::check
