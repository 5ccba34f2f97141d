#pragma once
// Which maps to overlay, from the user's list: "All", or map numbers and
// ranges such as 1,3-5 (numbered from 1).

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

struct OverlaySelection {
    std::vector<unsigned char> overlaid;  // one entry per map index: 1 overlay, 0 not
    std::vector<std::string> messages;    // log lines, in the order they arose
};

// Turns the list into one entry per map for mapCount maps. Only digits, commas
// and hyphens count; other characters vanish without separating anything. A
// hyphen joins the number before it to the next number after it. Numbers
// outside 1..mapCount are skipped; a range whose lower number is not below its
// upper one selects nothing and is reported; a hyphen with no number after it
// leaves the number before it as a single map. Digit runs too long for 32 bits
// saturate.
OverlaySelection selectOverlaidMaps(const char* list, int32_t mapCount);

}  // namespace kelvane
