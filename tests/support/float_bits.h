#pragma once
// The bits of a float, for comparisons that tell NaNs, infinities and signed
// zeros apart.

#include <cstdint>
#include <cstring>

namespace kelvane::testing {

inline uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace kelvane::testing
