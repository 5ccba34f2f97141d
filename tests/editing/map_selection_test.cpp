#include "editing/map_selection.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kelvane {
namespace {

struct SelectionCase {
    const char* label;
    std::string list;
    int32_t mapCount;
    std::string overlaid;  // one character per map, '1' overlaid
    std::vector<std::string> messages;
};

void PrintTo(const SelectionCase& c, std::ostream* os) {
    *os << c.label;
}

class OverlayList : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(OverlayList, SelectsTheNamedMapsOnly) {
    const SelectionCase& c = GetParam();
    OverlaySelection selection = selectOverlaidMaps(c.list.c_str(), c.mapCount);
    std::string overlaid;
    for (unsigned char entry : selection.overlaid) overlaid.push_back(entry ? '1' : '0');
    EXPECT_EQ(overlaid, c.overlaid);
    EXPECT_EQ(selection.messages, c.messages);
}

const std::string kNoNumbers = "Kelvane>  No Map numbers detected";

INSTANTIATE_TEST_SUITE_P(
    Lists, OverlayList,
    ::testing::Values(
        SelectionCase{"All", "All", 4, "1111", {}}, SelectionCase{"LowerCaseAll", "all", 4, "0000", {kNoNumbers}},
        SelectionCase{"AllWithBlank", " All", 4, "0000", {kNoNumbers}},
        SelectionCase{"Empty", "", 4, "0000", {kNoNumbers}}, SelectionCase{"NumbersAndRange", "1,3-5", 6, "101110", {}},
        SelectionCase{"RangePastCount", "3-5", 4, "0011", {}}, SelectionCase{"RangeFromZero", "0-2", 3, "110", {}},
        SelectionCase{"EqualBounds", "2-2", 3, "000", {"Kelvane>  2 - 2 is not a correctly specified range"}},
        SelectionCase{"Reversed", "5-3", 6, "000000", {"Kelvane>  5 - 3 is not a correctly specified range"}},
        SelectionCase{"ReversedThenOne", "5-3,1", 6, "100000", {"Kelvane>  5 - 3 is not a correctly specified range"}},
        SelectionCase{"BlankJoinsDigits", "1 2", 12, "000000000001", {}},
        SelectionCase{"CommaAndBlank", "1, 2", 3, "110", {}}, SelectionCase{"WordsDropped", "maps 1-3", 4, "1110", {}},
        SelectionCase{"LeadingBlank", " 1,3", 4, "1010", {}}, SelectionCase{"HyphenThenComma", "3-,5", 6, "001110", {}},
        SelectionCase{"ChainedRange", "3-5-7", 8, "00111010", {}}, SelectionCase{"Zero", "0", 3, "000", {}},
        SelectionCase{"AboveCount", "9", 3, "000", {}}, SelectionCase{"TrailingHyphen", "1-", 3, "100", {}},
        SelectionCase{"HyphenComma", "2-,", 3, "010", {}},
        SelectionCase{"HugeNumber", "99999999999999999999", 3, "000", {}},
        SelectionCase{"HugeRange", "2-99999999999999999999", 4, "0111", {}},
        SelectionCase{"HugeReversed",
                      "99999999999999999999-1",
                      4,
                      "0000",
                      {"Kelvane>  2147483647 - 1 is not a correctly specified range"}},
        SelectionCase{"NoMaps", "1-3", 0, "", {}}, SelectionCase{"NoMapsNoDigits", "none", 0, "", {kNoNumbers}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelvane
