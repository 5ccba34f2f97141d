#include "host/host_log.h"

#include <cstdio>

#include "host/host_forwarders.h"

namespace kelvane {

std::string formatTextV(const char* format, va_list arguments) {
    char small[512];
    va_list copy;
    va_copy(copy, arguments);
    int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < sizeof small) return std::string(small, static_cast<size_t>(length));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string formatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatTextV(format, arguments);
    va_end(arguments);
    return text;
}

void logLine(const char* format, ...) {
    // A line that fits a local buffer goes to the host from there, with no
    // allocation; a longer one is formatted again with room enough.
    char small[512];
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
        nbLogText(small);
    } else {
        const std::string text = formatTextV(format, arguments);
        nbLogText(text.c_str());
    }
    va_end(arguments);
}

}  // namespace kelvane
