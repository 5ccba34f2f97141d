#include "stats/fatal_numeric_error.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(FatalNumericErrorDeathTest, WritesThreeLinesAndExitsWithStatusOne) {
    EXPECT_EXIT(fatalNumericError("some message"), ::testing::ExitedWithCode(1),
                "^Numerical Recipes run-time error\\.\\.\\.\n"
                "some message\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

TEST(FatalNumericErrorDeathTest, EmptyMessageStillGetsItsOwnLine) {
    EXPECT_EXIT(fatalNumericError(""), ::testing::ExitedWithCode(1),
                "^Numerical Recipes run-time error\\.\\.\\.\n\n\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
}  // namespace kelvane
