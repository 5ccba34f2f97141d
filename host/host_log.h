#pragma once
// printf-style lines for the host's log, formatted with as much room as the
// text needs: a line is never cut and no buffer can be overrun.

#include <cstdarg>
#include <string>

namespace kelvane {

#if defined(__GNUC__)
#define KELVANE_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define KELVANE_PRINTF_FORMAT(format_index, first_arg)
#endif

std::string formatText(const char* format, ...) KELVANE_PRINTF_FORMAT(1, 2);
std::string formatTextV(const char* format, va_list arguments);

// Formats one line and hands it to nbLogText.
void logLine(const char* format, ...) KELVANE_PRINTF_FORMAT(1, 2);

}  // namespace kelvane
