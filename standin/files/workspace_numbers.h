#pragma once
// The number rules of workspace files, as the reader applies them to a value
// of the JSON library's or of a tape alike (workspace_json.h declares the
// public forms: wholeValue, wholeInt32, nearestFloat).

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "standin/files/workspace_json.h"

namespace nimbrel::workspace_file {

// The bits of the usual quiet NaN, which a file writes as "NaN".
inline constexpr uint32_t kQuietNaNBits = 0x7fc00000u;

inline uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatOfBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The value of a number without a fraction, of the JSON library's or on a tape.
template <typename Number>
std::optional<double> wholeValueOf(const Number& number) {
    if (number.is_number_unsigned()) return static_cast<double>(number.template get<uint64_t>());
    if (number.is_number_integer()) return static_cast<double>(number.template get<int64_t>());
    if (number.is_number_float() && std::floor(number.template get<double>()) == number.template get<double>())
        return number.template get<double>();
    return std::nullopt;
}

// The one rule for integers, on a number's whole value (none: it has a
// fraction); shown() names the number in an error.
template <typename Shown>
std::optional<int32_t> int32OfWhole(std::optional<double> whole, const Shown& shown) {
    if (!whole) return std::nullopt;
    if (*whole < std::numeric_limits<int32_t>::min() || *whole > std::numeric_limits<int32_t>::max())
        throw NumberRangeError("the integer " + shown() +
                               " is out of range: expected an integer from -2147483648 to 2147483647");
    return static_cast<int32_t>(*whole);
}

// The one rule for floats: shown() names the number in an error.
template <typename Shown>
float nearestFloatShown(double number, const Shown& shown) {
    // From this on a double rounds to infinity as a float.
    const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (!(std::fabs(number) < limit))
        throw NumberRangeError("the number " + shown() + " is too large for single precision (beyond about 3.4e38)");
    if (std::fabs(number) > FLT_MAX) return number > 0 ? FLT_MAX : -FLT_MAX;  // rounds to the largest float
    const float nearest = static_cast<float>(number);
    if (nearest == 0 && number != 0)
        throw NumberRangeError("the number " + shown() +
                               " is too small for single precision (nearer 0 than about 1.4e-45, it would read as 0)");
    return nearest;
}

}  // namespace nimbrel::workspace_file
