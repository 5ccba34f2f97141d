// The overlay list: any text of up to 511 characters and any map count from 0
// to 1000 (and a few negative ones). The selection has one entry per map, each
// 0 or 1; "All" selects every map; it agrees with a model of the list written
// from its rules in another form; and a map's entry does not depend on how many
// maps there are. The text sits in storage of its exact size, so a read past
// its terminator is caught.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editing/map_selection.h"
#include "tests/fuzz/fuzz_input.h"

namespace kelvane::fuzz {
namespace {

constexpr const char* kTarget = "overlay_list";
constexpr int32_t kMostMaps = 1000;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A maximal run of digits in the cleaned list, and whether a hyphen follows it
// at once.
struct Number {
    int32_t value;
    bool hyphenFollows;
};

int32_t saturated(const std::string& digits) {
    int64_t value = 0;
    for (char c : digits) value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
    return static_cast<int32_t>(value);
}

// The list's rules over its numbers: number i followed by a hyphen reaches to
// number i + 1 (and the next start is number i + 2); a hyphen with no number
// after it leaves number i alone; any other number stands alone.
OverlaySelection model(const std::string& list, int32_t mapCount) {
    OverlaySelection result;
    result.overlaid.assign(static_cast<std::size_t>(std::max(mapCount, 0)), 0);
    auto select = [&](int64_t first, int64_t last) {
        for (int64_t n = std::max<int64_t>(first, 1); n <= std::min<int64_t>(last, mapCount); ++n)
            result.overlaid[static_cast<std::size_t>(n - 1)] = 1;
    };
    if (list == "All") {
        std::fill(result.overlaid.begin(), result.overlaid.end(), 1);
        return result;
    }
    std::vector<Number> numbers;
    std::string digits;
    for (char c : list) {
        if (isDigit(c)) {
            digits += c;
        } else if (c == ',' || c == '-') {
            if (!digits.empty()) numbers.push_back({saturated(digits), c == '-'});
            digits.clear();
        }
        // Anything else vanishes and joins the digits around it.
    }
    if (!digits.empty()) numbers.push_back({saturated(digits), false});
    if (numbers.empty()) {
        result.messages.push_back("Kelvane>  No Map numbers detected");
        return result;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const Number& lower = numbers[i];
        if (!lower.hyphenFollows || i + 1 == numbers.size()) {
            select(lower.value, lower.value);
            continue;
        }
        const Number& upper = numbers[++i];
        if (lower.value < upper.value)
            select(lower.value, upper.value);
        else
            result.messages.push_back("Kelvane>  " + std::to_string(lower.value) + " - " + std::to_string(upper.value) +
                                      " is not a correctly specified range");
    }
    return result;
}

OverlaySelection selectFromExactStorage(const std::string& list, int32_t mapCount) {
    auto storage = std::make_unique<char[]>(list.size() + 1);
    std::memcpy(storage.get(), list.c_str(), list.size() + 1);
    return selectOverlaidMaps(storage.get(), mapCount);
}

int32_t mapCountOf(FuzzInput& in) {
    const uint16_t raw = in.u16();
    switch (raw >> 14) {
        case 0:
            return raw % 8;  // few maps, as on most VMRs
        case 3:
            if ((raw & 0xff) == 0) return -1;
            if ((raw & 0xff) == 1) return INT32_MIN;
            [[fallthrough]];
        default:
            return raw % (kMostMaps + 1);
    }
}

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const int32_t mapCount = mapCountOf(in);
    std::string list = in.rest(511);
    list.resize(std::strlen(list.c_str()));  // the host's text ends at its first zero

    const OverlaySelection selection = selectFromExactStorage(list, mapCount);
    const std::size_t maps = static_cast<std::size_t>(std::max(mapCount, 0));
    KELVANE_FUZZ_CHECK(kTarget, selection.overlaid.size() == maps, "one entry per map");
    for (unsigned char entry : selection.overlaid) KELVANE_FUZZ_CHECK(kTarget, entry <= 1, "entries are 0 or 1");
    if (list == "All") {
        KELVANE_FUZZ_CHECK(
            kTarget,
            std::count(selection.overlaid.begin(), selection.overlaid.end(), 1) == static_cast<std::ptrdiff_t>(maps),
            "\"All\" selects every map");
    }

    const OverlaySelection expected = model(list, mapCount);
    KELVANE_FUZZ_CHECK(kTarget, selection.overlaid == expected.overlaid, "selection as the list's rules give it");
    KELVANE_FUZZ_CHECK(kTarget, selection.messages == expected.messages, "messages as the list's rules give them");

    // Map n's entry is the same whatever the number of maps beyond it.
    const OverlaySelection most = selectFromExactStorage(list, kMostMaps);
    KELVANE_FUZZ_CHECK(kTarget, most.messages == selection.messages, "messages do not depend on the map count");
    KELVANE_FUZZ_CHECK(kTarget, std::equal(selection.overlaid.begin(), selection.overlaid.end(), most.overlaid.begin()),
                       "a map's entry does not depend on the map count");
    return 0;
}
