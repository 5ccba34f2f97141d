#include "editing/map_selection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "host/host_log.h"

namespace kelvane {
namespace {

constexpr const char* kEveryMap = "All";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isKept(char c) {
    return isDigit(c) || c == ',' || c == '-';
}

// The next digit at or after from, or npos.
size_t nextDigit(const std::string& text, size_t from) {
    while (from < text.size() && !isDigit(text[from])) ++from;
    return from < text.size() ? from : std::string::npos;
}

// Reads the digit run starting at position, saturating at INT32_MAX, and moves
// position past it.
int32_t readNumber(const std::string& text, size_t& position) {
    int64_t value = 0;
    while (position < text.size() && isDigit(text[position])) {
        value = std::min<int64_t>(value * 10 + (text[position] - '0'), INT32_MAX);
        ++position;
    }
    return static_cast<int32_t>(value);
}

void select(std::vector<unsigned char>& overlaid, int64_t first, int64_t last) {
    first = std::max<int64_t>(first, 1);
    last = std::min<int64_t>(last, static_cast<int64_t>(overlaid.size()));
    for (int64_t number = first; number <= last; ++number) overlaid[static_cast<size_t>(number - 1)] = 1;
}

}  // namespace

OverlaySelection selectOverlaidMaps(const char* list, int32_t mapCount) {
    OverlaySelection result;
    result.overlaid.assign(static_cast<size_t>(std::max<int32_t>(mapCount, 0)), 0);
    if (std::strcmp(list, kEveryMap) == 0) {
        std::fill(result.overlaid.begin(), result.overlaid.end(), 1);
        return result;
    }

    std::string cleaned;
    for (const char* c = list; *c != '\0'; ++c)
        if (isKept(*c)) cleaned.push_back(*c);
    size_t start = nextDigit(cleaned, 0);
    if (start == std::string::npos) {
        result.messages.push_back("Kelvane>  No Map numbers detected");
        return result;
    }

    while (start != std::string::npos) {
        size_t position = start;
        int32_t lower = readNumber(cleaned, position);
        if (position < cleaned.size() && cleaned[position] == '-') {
            size_t upperStart = nextDigit(cleaned, position);
            if (upperStart == std::string::npos) {  // nothing after the hyphen
                select(result.overlaid, lower, lower);
                break;
            }
            position = upperStart;
            int32_t upper = readNumber(cleaned, position);
            if (lower < upper)
                select(result.overlaid, lower, upper);
            else
                result.messages.push_back(
                    formatText("Kelvane>  %i - %i is not a correctly specified range", lower, upper));
        } else {
            select(result.overlaid, lower, lower);
        }
        start = nextDigit(cleaned, position);
    }
    return result;
}

}  // namespace kelvane
