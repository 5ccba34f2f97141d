#include "host/host_version.h"

#include <gtest/gtest.h>

#include <ostream>

#include <tuple>

namespace kelvane {
namespace {

struct VersionCase {
    int32_t major, minor, release;
    bool atLeast220;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.major << "." << c.minor << "." << c.release;
}

class VersionAtLeast220 : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionAtLeast220, ComparesMostSignificantFirst) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(versionAtLeast(c.major, c.minor, c.release, 2, 2, 0), c.atLeast220)
        << c.major << "." << c.minor << "." << c.release;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionAtLeast220,
                         ::testing::Values(VersionCase{2, 2, 0, true}, VersionCase{2, 2, 9, true},
                                           VersionCase{2, 2, 7, true}, VersionCase{2, 3, 0, true},
                                           VersionCase{3, 0, 0, true}, VersionCase{2, 1, 9, false},
                                           VersionCase{1, 9, 9, false}, VersionCase{2, 0, 0, false},
                                           VersionCase{2, 2, -1, false}, VersionCase{-3, 9, 9, false},
                                           VersionCase{2, -1, 99, false}));

}  // namespace
}  // namespace kelvane
