#include "standin/cli/utf8_command_line.h"

#if defined(_WIN32)
#include <cstdio>
#include <iostream>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "standin/base/native_path.h"
#endif

namespace nimbrel {

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
#if defined(_WIN32)
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) arguments_.push_back(utf8Text(wide[i]));
        LocalFree(wide);
    }
    // The console's code page is the console's, kept after the process ends:
    // put back what it was.
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
        GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
        previousConsoleCodePage_ = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
    }
#endif
    if (arguments_.empty()) arguments_.assign(argv, argv + argc);
    for (std::string& argument : arguments_) pointers_.push_back(&argument[0]);
    pointers_.push_back(nullptr);
}

Utf8CommandLine::~Utf8CommandLine() {
#if defined(_WIN32)
    if (previousConsoleCodePage_ == 0) return;
    // What is still buffered is UTF-8 too: out before the code page goes back.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    SetConsoleOutputCP(previousConsoleCodePage_);
#endif
}

}  // namespace nimbrel
