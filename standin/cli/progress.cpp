#include "standin/cli/progress.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nimbrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kQuietStart{1000};
constexpr std::chrono::milliseconds kBetweenLines{200};

}  // namespace

Progress::Progress(bool enabled) : enabled_(enabled), start_(Clock::now()), last_(start_) {}

Progress::~Progress() {
    clear();
}

bool Progress::isTerminal(int descriptor) {
#if defined(_WIN32)
    return _isatty(descriptor) != 0;
#else
    return isatty(descriptor) != 0;
#endif
}

void Progress::tick(const std::function<std::string()>& text) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < kQuietStart || (shown_ && now - last_ < kBetweenLines)) return;
    last_ = now;
    shown_ = true;
    // Back to the start of the line, the text, and the rest of the line cleared.
    std::fprintf(stderr, "\r%s\x1B[K", text().c_str());
    std::fflush(stderr);
}

void Progress::clear() {
    if (!shown_) return;
    std::fputs("\r\x1B[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace nimbrel
