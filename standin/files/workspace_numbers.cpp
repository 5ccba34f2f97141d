#include "standin/files/workspace_numbers.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace nimbrel {

using json = nlohmann::ordered_json;
using workspace_file::floatBits;
using workspace_file::floatOfBits;
using workspace_file::kQuietNaNBits;

std::optional<float> floatOfSpecialText(const std::string& text) {
    if (text == "Infinity" || text == "inf") return std::numeric_limits<float>::infinity();
    if (text == "-Infinity" || text == "-inf") return -std::numeric_limits<float>::infinity();
    if (text == "NaN" || text == "nan") return floatOfBits(kQuietNaNBits);
    if (text.size() == 14 && text.compare(0, 6, "NaN:0x") == 0 &&
        text.find_first_not_of("0123456789abcdefABCDEF", 6) == std::string::npos) {
        const float nan = floatOfBits(static_cast<uint32_t>(std::strtoul(text.c_str() + 6, nullptr, 16)));
        if (std::isnan(nan)) return nan;
    }
    return std::nullopt;
}

std::optional<double> wholeValue(const json& number) {
    return workspace_file::wholeValueOf(number);
}

std::optional<int32_t> wholeInt32(const json& number, const std::string& shown) {
    return workspace_file::int32OfWhole(wholeValue(number), [&] { return shown; });
}

float nearestFloat(double number, const std::string& shown) {
    return workspace_file::nearestFloatShown(number, [&] { return shown; });
}

std::string shortestFloatText(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[64];
    auto readsBack = [value](const char* candidate) {
        return floatBits(static_cast<float>(std::strtod(candidate, nullptr))) == floatBits(value);
    };
    // The shortest text for a float reader ("10", not "1e+01"); the check
    // makes sure a double reader gets there too.
    auto [end, failed] = std::to_chars(text, text + sizeof text - 1, value);
    if (failed == std::errc()) {
        *end = '\0';
        if (readsBack(text)) return text;
    }
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (readsBack(text)) return text;
    }
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    return text;
}

json floatToJson(float value) {
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (std::isnan(value)) {
        if (floatBits(value) == kQuietNaNBits) return "NaN";
        char text[16];
        std::snprintf(text, sizeof text, "NaN:0x%08x", static_cast<unsigned>(floatBits(value)));
        return text;
    }
    // The double nearest the shortest text: it dumps as that text, or a shorter one.
    return std::strtod(shortestFloatText(value).c_str(), nullptr);
}

}  // namespace nimbrel
