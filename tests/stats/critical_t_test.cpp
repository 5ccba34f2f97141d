#include "stats/critical_t.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

namespace kelvane {
namespace {

constexpr double kTolerance = 1e-7;  // what the map update pass passes
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinite = std::numeric_limits<double>::infinity();

struct TableRow {
    double nu;
    double p;
    double t;
    int evaluations;
};

void PrintTo(const TableRow& row, std::ostream* out) {
    *out << "nu " << row.nu << " p " << row.p;
}

class CriticalTTableTest : public ::testing::TestWithParam<TableRow> {};

TEST_P(CriticalTTableTest, ExactResultAndEvaluationCount) {
    const TableRow row = GetParam();
    const CriticalTOutcome outcome = criticalTOutcome(row.nu, row.p, kTolerance);
    EXPECT_EQ(outcome.t, row.t);
    EXPECT_EQ(outcome.searchEvaluations, row.evaluations);
    EXPECT_FALSE(outcome.solved);
    EXPECT_EQ(criticalT(row.nu, row.p, kTolerance), row.t);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CriticalTTableTest,
    ::testing::Values(TableRow{10, 0.05, 2.228137493133545, 20}, TableRow{20, 0.01, 2.845341682434082, 19},
                      TableRow{100, 0.001, 3.3905181884765625, 15}, TableRow{5, 0.05, 2.570577621459961, 18},
                      TableRow{2, 0.05, 4.302655220031738, 19}, TableRow{1, 0.2, 3.0777053833007812, 16}));

// The p the search sees at the ends of its reach, to the digits given.
TEST(HalvingSearchPTest, ReachOfTheSearch) {
    struct Reach {
        double nu;
        double atHighestT;
        double atLowestT;
        double halfUnitHigh;  // half a unit in the last digit given
        double halfUnitLow;
    };
    const Reach reaches[] = {
        {1, 0.1392, 0.3743, 5e-5, 5e-5},     {2, 0.0460, 0.2724, 5e-5, 5e-5},     {3, 0.0205, 0.2306, 5e-5, 5e-5},
        {5, 0.0064, 0.1939, 5e-5, 5e-5},     {10, 0.00114, 0.1645, 5e-6, 5e-5},   {20, 0.000219, 0.1492, 5e-7, 5e-5},
        {50, 4.07e-05, 0.1399, 5e-8, 5e-5},  {100, 1.84e-05, 0.1368, 5e-8, 5e-5}, {1000, 7.59e-06, 0.1339, 5e-9, 5e-5},
        {1e7, 6.80e-06, 0.1336, 5e-9, 5e-5},
    };
    for (const Reach& r : reaches) {
        EXPECT_NEAR(halvingSearchP(r.nu, 4.5), r.atHighestT, r.halfUnitHigh) << "nu = " << r.nu;
        EXPECT_NEAR(halvingSearchP(r.nu, 1.5), r.atLowestT, r.halfUnitLow) << "nu = " << r.nu;
    }
}

TEST(CriticalTTest, TargetWithinToleranceOfTheFirstEvaluationStopsThere) {
    const double atThree = halvingSearchP(10, 3.0);
    const CriticalTOutcome below = criticalTOutcome(10, atThree - 0.5 * kTolerance, kTolerance);
    EXPECT_EQ(below.t, 3.75);
    EXPECT_EQ(below.searchEvaluations, 1);
    EXPECT_EQ(criticalT(10, atThree, kTolerance), 3.75);
    const CriticalTOutcome above = criticalTOutcome(10, atThree + 0.5 * kTolerance, kTolerance);
    EXPECT_EQ(above.t, 2.25);
    EXPECT_EQ(above.searchEvaluations, 1);
}

TEST(CriticalTTest, ZeroDegreesOfFreedom) {
    const CriticalTOutcome outcome = criticalTOutcome(0, 0.05, kTolerance);
    EXPECT_EQ(outcome.t, 3.75);
    EXPECT_EQ(outcome.searchEvaluations, 1);
    const CriticalTOutcome nearHalf = criticalTOutcome(0, 0.5 + 0.5 * kTolerance, kTolerance);
    EXPECT_EQ(nearHalf.t, 3.0);
    EXPECT_EQ(nearHalf.evaluations, 0);
}

TEST(CriticalTDeathTest, NegativeDegreesOfFreedomEndTheProcess) {
    EXPECT_EXIT(criticalT(-1, 0.05, kTolerance), ::testing::ExitedWithCode(1),
                "^Numerical Recipes run-time error\\.\\.\\.\nBad x in routine betai\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

TEST(CriticalTTest, NoTForAPOutsideTheUnitInterval) {
    for (double p : {kNotANumber, 0.0, -0.0, -0.05, std::nextafter(1.0, 2.0), 2.0, kInfinite}) {
        const CriticalTOutcome outcome = criticalTOutcome(10, p, kTolerance);
        EXPECT_TRUE(std::isnan(outcome.t)) << "p = " << p;
        EXPECT_EQ(outcome.evaluations, 0);
    }
    EXPECT_TRUE(std::isnan(criticalT(0, kNotANumber, kTolerance)));
}

TEST(CriticalTTest, POfOneGivesZero) {
    for (double nu : {1.0, 10.0, 1e7}) EXPECT_EQ(criticalT(nu, 1.0, kTolerance), 0.0);
}

TEST(CriticalTTest, DegreesOfFreedomThatAreNotFinite) {
    for (double nu : {kNotANumber, kInfinite, -kInfinite}) {
        EXPECT_TRUE(std::isnan(criticalT(nu, 0.05, kTolerance))) << "nu = " << nu;
    }
}

// Targets the search cannot meet go to the solver; the one in the table's
// reach are found by the search and lie within its bound.
TEST(CriticalTTest, UnreachableTargetsGetTheTrueCriticalT) {
    const CriticalTOutcome oneDegree = criticalTOutcome(1, 0.05, kTolerance);
    EXPECT_TRUE(oneDegree.solved);
    EXPECT_NEAR(oneDegree.t, 12.706204736174705, 1e-12 * 12.706204736174705);
    EXPECT_NEAR(criticalT(1, 0.5, kTolerance), 1.0, 1e-12);  // within tolerance of 0.5
    EXPECT_NEAR(criticalT(10, 0.2, kTolerance), 1.3721836411103356, 1e-12 * 1.3721836411103356);
}

// Below one degree of freedom 0.5 is within reach, and the search would stop
// at 3 before its first evaluation.
TEST(CriticalTTest, TargetAtTheSearchStartValueGetsTheTrueCriticalT) {
    const CriticalTOutcome outcome = criticalTOutcome(0.5, 0.5, kTolerance);
    EXPECT_TRUE(outcome.solved);
    EXPECT_NEAR(outcome.t, 1.5537739740300373, 1e-12 * 1.5537739740300373);  // mpmath findroot
}

// At the very edge of the reach the tolerance can never be met: the loop's
// bound hands the target to the solver.
TEST(CriticalTTest, TargetAtTheEdgeOfTheReachEndsThroughTheSolver) {
    const double edge = halvingSearchP(10, 4.5) - kTolerance;
    const CriticalTOutcome outcome = criticalTOutcome(10, edge, kTolerance);
    EXPECT_EQ(outcome.searchEvaluations, 64);
    EXPECT_TRUE(outcome.solved);
    EXPECT_GT(outcome.t, 4.5);
    EXPECT_EQ(outcome.t, solveCriticalT(10, edge).t);
}

struct ReferenceRow {
    double nu;
    double p;
    double t;
};
constexpr ReferenceRow kCriticalTReference[] = {
#include "criticalT_reference.inc"
};

bool inReach(double nu, double p) {
    return p >= halvingSearchP(nu, 4.5) - kTolerance && p <= halvingSearchP(nu, 1.5) + kTolerance;
}

// After k evaluations the search's t is within 1.5 2^-k of the root of its
// own p, which for nu in the millions is off the true t by up to ~4e-8.
double searchBound(const CriticalTOutcome& outcome, double trueT) {
    return 1.5 * std::ldexp(1.0, -outcome.searchEvaluations) + 1e-7 * trueT;
}

// nu from 1 to 1e7 and p from 1e-6 to 1 - 1e-9: the true t (1e-12 relative)
// wherever the search cannot reach, the search's result wherever it can.
TEST(CriticalTTest, GridAgainstHighPrecisionReference) {
    for (const ReferenceRow& row : kCriticalTReference) {
        const CriticalTOutcome outcome = criticalTOutcome(row.nu, row.p, kTolerance);
        EXPECT_EQ(outcome.unconvergedFractions, 0);
        EXPECT_LE(outcome.solverEvaluations, 10);
        if (inReach(row.nu, row.p)) {
            EXPECT_FALSE(outcome.solved) << "nu = " << row.nu << ", p = " << row.p;
            EXPECT_NEAR(outcome.t, row.t, searchBound(outcome, row.t)) << "nu = " << row.nu << ", p = " << row.p;
        } else {
            EXPECT_TRUE(outcome.solved) << "nu = " << row.nu << ", p = " << row.p;
            EXPECT_NEAR(outcome.t, row.t, 1e-12 * row.t) << "nu = " << row.nu << ", p = " << row.p;
        }
    }
}

constexpr ReferenceRow kExtremeCriticalTReference[] = {
#include "extremeCriticalT_reference.inc"
};

// Up to any map's degrees of freedom and for any p a double holds, from the
// smallest subnormal to the largest double below 1: the true t to 1e-12
// relative (infinity where it lies beyond the largest double), in a few
// evaluations of the tail.
TEST(CriticalTTest, SolverOverEveryPADoubleHolds) {
    for (const ReferenceRow& row : kExtremeCriticalTReference) {
        const CriticalTOutcome outcome = solveCriticalT(row.nu, row.p);
        EXPECT_EQ(outcome.unconvergedFractions, 0) << "nu = " << row.nu << ", p = " << row.p;
        EXPECT_LE(outcome.solverEvaluations, 10) << "nu = " << row.nu << ", p = " << row.p;
        if (std::isinf(row.t)) {
            EXPECT_EQ(outcome.t, row.t) << "nu = " << row.nu << ", p = " << row.p;
        } else {
            EXPECT_NEAR(outcome.t, row.t, 1e-12 * row.t) << "nu = " << row.nu << ", p = " << row.p;
        }
    }
}

constexpr ReferenceRow kLargeCriticalTReference[] = {
#include "largeCriticalT_reference.inc"
};

// Beyond 2^31 - 1 degrees of freedom, more than any map has, the search's p
// and the continued fraction lose their digits: at 1e16 the search took a p
// of 7e-41 for t = 3.75, and at 5.2e251 a bracketing solver gave 6.44 for
// 13.39. The true t there comes from the normal quantile and the expansion of
// t in 1/nu, also for a subnormal p.
TEST(CriticalTTest, DegreesOfFreedomBeyondAnyMapGetTheTrueCriticalT) {
    for (const ReferenceRow& row : kLargeCriticalTReference) {
        const CriticalTOutcome outcome = criticalTOutcome(row.nu, row.p, kTolerance);
        EXPECT_TRUE(outcome.solved) << "nu = " << row.nu << ", p = " << row.p;
        EXPECT_EQ(outcome.searchEvaluations, 0) << "nu = " << row.nu << ", p = " << row.p;
        EXPECT_LE(outcome.solverEvaluations, 10) << "nu = " << row.nu << ", p = " << row.p;
        EXPECT_NEAR(outcome.t, row.t, 1e-12 * row.t) << "nu = " << row.nu << ", p = " << row.p;
        EXPECT_EQ(solveCriticalT(row.nu, row.p).t, outcome.t) << "nu = " << row.nu << ", p = " << row.p;
    }
    EXPECT_EQ(criticalT(1e300, 1.0, kTolerance), 0.0);
}

// The largest count a map can have still goes to the search.
TEST(CriticalTTest, LargestMapDegreesOfFreedomAreStillSearched) {
    const CriticalTOutcome outcome = criticalTOutcome(2147483647.0, 0.05, kTolerance);
    EXPECT_FALSE(outcome.solved);
    EXPECT_GT(outcome.searchEvaluations, 0);
    EXPECT_NEAR(outcome.t, 1.959963985644729, searchBound(outcome, 1.959963985644729));
}

// With betacf these end the host process: the fraction gets stuck past
// MAXIT at t = 1.78125 (nu = 19047) and t = 1.7816162109375 (nu = 1964).
TEST(CriticalTTest, SearchesThroughAStuckFractionFinish) {
    const double dialogP = static_cast<double>(0.075f);
    const CriticalTOutcome outcome = criticalTOutcome(1964, dialogP, kTolerance);
    EXPECT_FALSE(outcome.solved);
    EXPECT_GE(outcome.relaxedFractions, 1);
    EXPECT_EQ(outcome.unconvergedFractions, 0);
    const double trueT = solveCriticalT(1964, dialogP).t;
    EXPECT_NEAR(outcome.t, trueT, searchBound(outcome, trueT));

    for (int i = 0; i <= 61; ++i) {
        const double p = 0.061 + 0.0005 * i;
        const CriticalTOutcome stuck = criticalTOutcome(19047, p, kTolerance);
        EXPECT_FALSE(stuck.solved) << "p = " << p;
        EXPECT_GE(stuck.relaxedFractions, 1) << "p = " << p;
        EXPECT_EQ(stuck.unconvergedFractions, 0) << "p = " << p;
        const double t = solveCriticalT(19047, p).t;
        EXPECT_NEAR(stuck.t, t, searchBound(stuck, t)) << "p = " << p;
    }
}

std::vector<double> sweepDegreesOfFreedom() {
    std::vector<double> nus;
    for (int nu = 1; nu <= 2000; ++nu) nus.push_back(nu);
    for (double nu = 2000; nu < 1e7; nu = std::ceil(nu * 1.005)) nus.push_back(nu);
    for (int nu = 19000; nu <= 19100; ++nu) nus.push_back(nu);
    nus.push_back(1e7);
    return nus;
}

// Every nu up to 2000, then every half percent up to 1e7: nothing ends the
// process, the search answers inside its reach and the solver outside it.
TEST(CriticalTTest, SweepOfDegreesOfFreedom) {
    int failures = 0;
    for (double p : {0.1, 0.075, 0.05, 0.01, 0.001}) {
        for (double nu : sweepDegreesOfFreedom()) {
            const CriticalTOutcome outcome = criticalTOutcome(nu, p, kTolerance);
            const double trueT = solveCriticalT(nu, p).t;
            const bool reach = inReach(nu, p);
            const bool good = outcome.unconvergedFractions == 0 && outcome.solved != reach &&
                              (outcome.solved ? outcome.t == trueT
                                              : std::fabs(outcome.t - trueT) <= searchBound(outcome, trueT) &&
                                                    outcome.t > 1.5 && outcome.t < 4.5);
            if (!good) {
                ADD_FAILURE() << "nu = " << nu << ", p = " << p << ": t = " << outcome.t << ", true t = " << trueT
                              << ", solved = " << outcome.solved << ", in reach = " << reach;
                if (++failures == 10) return;
            }
        }
    }
}

}  // namespace
}  // namespace kelvane
