#include "standin/cli/terminal_text.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace nimbrel {
namespace {

struct Range {
    char32_t first, last;
};

// Characters that combine with the one before them and take no column.
constexpr Range kCombining[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},   {0x05BF, 0x05BF}, {0x05C1, 0x05C2}, {0x05C4, 0x05C5},
    {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F},   {0x0670, 0x0670}, {0x06D6, 0x06DC}, {0x06DF, 0x06E4},
    {0x0900, 0x0903}, {0x093A, 0x094F}, {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and emoji, which take two columns.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},   {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool within(char32_t c, const Range (&ranges)[N]) {
    for (const Range& range : ranges)
        if (c >= range.first && c <= range.last) return true;
    return false;
}

// The bytes of text's first characters that fit in width columns.
std::size_t bytesWithin(std::string_view text, std::size_t width) {
    std::size_t used = 0, at = 0;
    char32_t c;
    while (at < text.size()) {
        std::size_t length = decodeUtf8(text, at, c);
        if (length == 0) length = 1;
        const std::size_t w = columns(text.substr(at, length));
        if (used + w > width) break;
        used += w;
        at += length;
    }
    return at;
}

// The bytes of text's last characters that fit in width columns: where they start.
std::size_t lastBytesWithin(std::string_view text, std::size_t width) {
    std::size_t used = 0, at = text.size();
    while (at > 0) {
        std::size_t start = at - 1;
        // Back to the lead byte of a UTF-8 character.
        while (start > 0 && at - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        char32_t c;
        if (decodeUtf8(text, start, c) != at - start) start = at - 1;
        const std::size_t w = columns(text.substr(start, at - start));
        if (used + w > width) break;
        used += w;
        at = start;
    }
    return at;
}

// One line folded to width columns.
std::string fitLine(const std::string& line, std::size_t width, std::string indent) {
    if (columns(indent) + 8 > width) indent.clear();  // too narrow for the indent to help
    const std::size_t indentColumns = columns(indent);
    std::string folded, rest = line;
    for (bool first = true;; first = false) {
        const std::string part = first ? rest : indent + rest;
        if (columns(part) <= width) return folded + part;
        const std::size_t fit = std::max(bytesWithin(part, width), std::size_t{1});
        // The last blank that fits, past the indent (and the label it stands for).
        const std::size_t start = bytesWithin(part, indentColumns);
        std::size_t cut = part.rfind(' ', fit);
        const bool atBlank = cut != std::string::npos && cut > start && cut <= fit;
        if (!atBlank) cut = std::max(fit, start + 1);
        std::string piece = part.substr(0, cut);
        while (atBlank && !piece.empty() && piece.back() == ' ') piece.pop_back();
        rest = part.substr(cut);
        const std::size_t text = rest.find_first_not_of(' ');
        rest = text == std::string::npos ? std::string() : rest.substr(text);
        folded += piece + "\n";
        if (rest.empty()) {
            folded.pop_back();
            return folded;
        }
    }
}

}  // namespace

std::size_t columns(std::string_view text) {
    std::size_t width = 0;
    char32_t c;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = decodeUtf8(text, at, c);
        if (length == 0) {
            ++width, ++at;
            continue;
        }
        width += within(c, kCombining) ? 0 : within(c, kWide) ? 2 : 1;
        at += length;
    }
    return width;
}

std::string visible(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    char32_t c;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = decodeUtf8(text, at, c);
        if (length == 0) {  // a stray byte: shown as its value
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[at]));
            shown += escape;
            ++at;
            continue;
        }
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            shown += escape;
        } else if (c >= 0x80 && c <= 0x9F) {
            char escape[12];
            std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown.append(text.substr(at, length));
        }
        at += length;
    }
    return shown;
}

std::optional<std::size_t> terminalColumns(int descriptor) {
    if (const char* set = std::getenv("COLUMNS")) {
        char* end = nullptr;
        const long columns = std::strtol(set, &end, 10);
        if (*set != '\0' && *end == '\0' && columns > 0) return static_cast<std::size_t>(columns);
    }
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE handle = GetStdHandle(descriptor == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (_isatty(descriptor) && GetConsoleScreenBufferInfo(handle, &info))
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
#else
    winsize size{};
    if (isatty(descriptor) && ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    return std::nullopt;
}

bool outputTakesUtf8() {
#if defined(_WIN32)
    // A console shows what its code page says; a file or a pipe gets UTF-8.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode)) return GetConsoleOutputCP() == CP_UTF8;
    return true;
#else
    // The user's locale decides; the process keeps the C locale it runs in.
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    const std::string kept = previous != nullptr ? previous : "C";
    bool utf8 = false;
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        const char* codeset = nl_langinfo(CODESET);
        utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }
    std::setlocale(LC_CTYPE, kept.c_str());
    return utf8;
#endif
}

std::string clipColumns(const std::string& text, std::size_t width, const Marks& marks) {
    if (columns(text) <= width) return text;
    const std::size_t room = width > columns(marks.ellipsis) ? width - columns(marks.ellipsis) : 0;
    std::string result;
    std::size_t used = 0;
    char32_t c;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = decodeUtf8(text, at, c);
        if (length == 0) length = 1;
        const std::size_t width = columns(std::string_view(text).substr(at, length));
        if (used + width > room) break;
        result.append(text, at, length);
        used += width;
        at += length;
    }
    return result + marks.ellipsis;
}

std::string shortened(const std::string& text, const Marks& marks, std::size_t width) {
    if (columns(text) <= width) return text;
    const std::string kept = clipColumns(text, width, marks);
    const std::size_t prefix = kept.size() - std::strlen(marks.ellipsis);
    std::size_t leftOut = 0;
    for (std::size_t at = prefix; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) ++leftOut;
    return kept + " (" + groupedDigits(leftOut) + (leftOut == 1 ? " more character)" : " more characters)");
}

std::string padRight(const std::string& text, std::size_t width) {
    const std::size_t w = columns(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
    const std::size_t w = columns(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
}

std::string repeated(const char* text, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i) result += text;
    return result;
}

std::string clipMiddle(const std::string& text, std::size_t width, const Marks& marks) {
    if (columns(text) <= width) return text;
    const std::size_t room = width > columns(marks.ellipsis) ? width - columns(marks.ellipsis) : 0;
    const std::size_t head = bytesWithin(text, (room + 1) / 2);
    const std::size_t tail =
        std::max(lastBytesWithin(text, room - columns(std::string_view(text).substr(0, head))), head);
    return text.substr(0, head) + marks.ellipsis + text.substr(tail);
}

std::string fitLines(const std::string& text, std::size_t width, const std::string& indent) {
    std::string fitted;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        const std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
        fitted += width == 0 ? line : fitLine(line, width, indent);
        if (end == std::string::npos) return fitted;
        fitted += "\n";
        from = end + 1;
    }
}

}  // namespace nimbrel
