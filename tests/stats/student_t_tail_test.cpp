#include "stats/student_t_tail.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace kelvane {
namespace {

struct LogBetaCase {
    double a;
    double expected;
};
constexpr LogBetaCase kLogBetaHalfReference[] = {
#include "logBetaHalf_reference.inc"
};

// Across the switch from recurrence to series at a = 20 and up to 1e9.
TEST(LogBetaHalfTest, MatchesHighPrecisionReference) {
    for (const LogBetaCase& c : kLogBetaHalfReference) {
        EXPECT_NEAR(logBetaHalf(c.a), c.expected, 4e-15) << "a = " << c.a;
    }
}

struct TailCase {
    double nu;
    double t;
    double p;
    double q;
};
constexpr TailCase kTailReference[] = {
#include "studentTail_reference.inc"
};

// 1e-13 relative on both tails, the smaller one included, up to any map's
// degrees of freedom: where x nears 1 for nu in the millions, the large-a
// expansion keeps the digits the fraction would lose.
TEST(StudentTwoTailedTest, MatchesHighPrecisionReference) {
    for (const TailCase& c : kTailReference) {
        const double tolerance = 1e-13;
        const StudentTail tail = studentTwoTailed(c.nu, c.t);
        EXPECT_NEAR(tail.p, c.p, tolerance * c.p) << "nu = " << c.nu << ", t = " << c.t;
        EXPECT_NEAR(tail.q, c.q, tolerance * c.q) << "nu = " << c.nu << ", t = " << c.t;
        EXPECT_TRUE(tail.fraction.converged);
    }
}

TEST(StudentTwoTailedTest, EndsAndSign) {
    const double infinity = std::numeric_limits<double>::infinity();
    for (double nu : {1.0, 30.0, 1e7}) {
        EXPECT_EQ(studentTwoTailed(nu, 0.0).p, 1.0);
        EXPECT_EQ(studentTwoTailed(nu, 0.0).q, 0.0);
        EXPECT_EQ(studentTwoTailed(nu, infinity).p, 0.0);
        EXPECT_EQ(studentTwoTailed(nu, infinity).q, 1.0);
        EXPECT_EQ(studentTwoTailed(nu, -2.5).p, studentTwoTailed(nu, 2.5).p);
    }
    // Far in the tail, where t * t overflows: 2 / (π t) for one degree of freedom.
    const double cauchyTail = 2.0 / (3.141592653589793 * 1e200);
    EXPECT_NEAR(studentTwoTailed(1.0, 1e200).p, cauchyTail, 1e-13 * cauchyTail);
}

}  // namespace
}  // namespace kelvane
