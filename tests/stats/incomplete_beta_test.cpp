#include "stats/incomplete_beta.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace kelvane {
namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

std::string fatalLines(const std::string& message) {
    return "^Numerical Recipes run-time error\\.\\.\\.\n" + message + "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";
}
const std::string kBadX = fatalLines("Bad x in routine betai");
const std::string kNoConvergence = fatalLines("a or b too big, or MAXIT too small in betacf");

struct LogGammaCase {
    double x;
    double expected;
};
constexpr LogGammaCase kLogGammaReference[] = {
#include "logGamma_reference.inc"
};

// The six-term series gets Γ to about 2e-10 relative, so ln Γ to about 2e-10
// absolute; large results add their own rounding.
TEST(LogGammaTest, MatchesHighPrecisionReference) {
    for (const LogGammaCase& c : kLogGammaReference) {
        EXPECT_NEAR(logGamma(c.x), c.expected, 2.5e-10 + 4e-16 * std::fabs(c.expected)) << "x = " << c.x;
    }
}

TEST(LogGammaTest, KnownValues) {
    EXPECT_NEAR(logGamma(1.0), 0.0, 1e-15);
    EXPECT_NEAR(logGamma(2.0), 0.0, 1e-15);
    EXPECT_NEAR(logGamma(0.5), 0.5723649429247001, 1e-12 * 0.5723649429247001);   // ln √π
    EXPECT_NEAR(logGamma(10.0), 12.801827480081469, 1e-12 * 12.801827480081469);  // ln 9!
}

struct BetaiCase {
    double a;
    double b;
    double x;
    double expected;
};
constexpr BetaiCase kBetaiReference[] = {
#include "betai_reference.inc"
};

// 1e-10 relative: the prefactor's three logGamma values carry up to about
// 2e-10 each; over this grid (a, b up to 40) the error stays below 2e-11.
TEST(BetaiTest, MatchesHighPrecisionReference) {
    for (const BetaiCase& c : kBetaiReference) {
        const double value = betai(c.a, c.b, c.x);
        EXPECT_NEAR(value, c.expected, 1e-10 * c.expected) << "a = " << c.a << ", b = " << c.b << ", x = " << c.x;
    }
}

TEST(BetaiTest, EndsOfTheUnitIntervalGiveZeroAndOne) {
    for (double a : {0.5, 3.0, 40.0}) {
        for (double b : {0.5, 3.0, 40.0}) {
            EXPECT_EQ(betai(a, b, 0.0), 0.0);
            EXPECT_EQ(betai(a, b, 1.0), 1.0);
        }
    }
}

// With b = 0 the symmetric branch divides 0 by 0 while the direct one gives
// 0, which shows the branch taken at x = (a + 1)/(a + b + 2) = 0.75 exactly.
TEST(BetaiTest, ThresholdItselfTakesTheSymmetricBranch) {
    EXPECT_TRUE(std::isnan(betai(2.0, 0.0, 0.75)));
    EXPECT_EQ(betai(2.0, 0.0, std::nextafter(0.75, 0.0)), 0.0);
}

TEST(BetaiTest, GivesTheTwoTailedPOfStudentsT) {
    const double nu = 10.0;
    const double t = 3.0;
    EXPECT_NEAR(betai(0.5 * nu, 0.5, nu / (nu + t * t)), 0.0133437, 5e-8);
}

struct ExactLogGamma {
    double x;
    double expected;
};
constexpr ExactLogGamma kExactLogGamma[] = {
#include "exactLogGamma_reference.inc"
};
constexpr BetaiCase kExactBetai[] = {
#include "exactBetai_reference.inc"
};

// The written arithmetic redone step by step in Python doubles: the critical
// t search compares these values, so they must agree to the last bit.
TEST(IncompleteBetaTest, BitForBitTheWrittenArithmetic) {
    for (const ExactLogGamma& c : kExactLogGamma) EXPECT_EQ(logGamma(c.x), c.expected) << "x = " << c.x;
    for (const BetaiCase& c : kExactBetai) {
        EXPECT_EQ(betai(c.a, c.b, c.x), c.expected) << "a = " << c.a << ", b = " << c.b << ", x = " << c.x;
    }
}

// A point where the fraction's last correction stays tens of epsilons off 1
// past MAXIT iterations: nu = 19047, t = 1.78125 on the way to a critical t.
constexpr double kStuckNu = 19047.0;
constexpr double kStuckT = 1.78125;
const double kStuckX = kStuckNu / (kStuckNu + kStuckT * kStuckT);

TEST(IncompleteBetaDeathTest, XBelowZeroEndsTheProcess) {
    EXPECT_EXIT(betai(2.0, 3.0, -std::numeric_limits<double>::denorm_min()), ::testing::ExitedWithCode(1), kBadX);
    EXPECT_EXIT(betai(2.0, 3.0, -0.5), ::testing::ExitedWithCode(1), kBadX);
}

TEST(IncompleteBetaDeathTest, XAboveOneEndsTheProcess) {
    EXPECT_EXIT(betai(2.0, 3.0, std::nextafter(1.0, 2.0)), ::testing::ExitedWithCode(1), kBadX);
    EXPECT_EXIT(betai(2.0, 3.0, 1.5), ::testing::ExitedWithCode(1), kBadX);
}

TEST(IncompleteBetaDeathTest, NotANumberXEndsTheProcessThroughTheFraction) {
    EXPECT_EXIT(betai(2.0, 3.0, kNotANumber), ::testing::ExitedWithCode(1), kNoConvergence);
}

TEST(IncompleteBetaDeathTest, FractionNotConvergingInMaxitEndsTheProcess) {
    EXPECT_EXIT(betacf(0.5 * kStuckNu, 0.5, kStuckX), ::testing::ExitedWithCode(1), kNoConvergence);
    EXPECT_EXIT(betai(0.5 * kStuckNu, 0.5, kStuckX), ::testing::ExitedWithCode(1), kNoConvergence);
}

TEST(BetacfRelaxedTest, SameBitsWhereBetacfConverges) {
    for (const BetaiCase& c : kBetaiReference) {
        const bool direct = c.x < (c.a + 1.0) / (c.a + c.b + 2.0);
        const double a = direct ? c.a : c.b;
        const double b = direct ? c.b : c.a;
        const double x = direct ? c.x : 1.0 - c.x;
        const ContinuedFraction relaxed = betacfRelaxed(a, b, x);
        EXPECT_TRUE(relaxed.converged);
        EXPECT_FALSE(relaxed.relaxed);
        EXPECT_LE(relaxed.iterations, MAXIT);
        EXPECT_EQ(relaxed.value, betacf(a, b, x)) << "a = " << a << ", b = " << b << ", x = " << x;
        EXPECT_EQ(betaiRelaxed(c.a, c.b, c.x).value, betai(c.a, c.b, c.x));
    }
    // And along the two-tailed p of large nu, where the fraction works hardest.
    for (double nu : {1000.0, 19047.0, 1e7}) {
        for (double t = 1.5; t < 2.0; t += 0.01) {
            const double x = nu / (nu + t * t);
            EXPECT_EQ(betaiRelaxed(0.5 * nu, 0.5, x).value, betai(0.5 * nu, 0.5, x)) << nu << " " << t;
        }
    }
}

struct FractionCase {
    double a;
    double b;
    double x;
    double expected;
};
constexpr FractionCase kStuckFractions[] = {
#include "continuedFraction_reference.inc"
};

// Past MAXIT the relaxed test lets these finish; the value is as good as the
// arithmetic allows there (the recurrence drifts by about 1e-12).
TEST(BetacfRelaxedTest, FinishesWhereBetacfGivesUp) {
    for (const FractionCase& c : kStuckFractions) {
        const ContinuedFraction fraction = betacfRelaxed(c.a, c.b, c.x);
        EXPECT_TRUE(fraction.converged);
        EXPECT_TRUE(fraction.relaxed);
        EXPECT_GT(fraction.iterations, MAXIT);
        EXPECT_LE(fraction.iterations, MAXIT + kRelaxedExtraIterations);
        EXPECT_NEAR(fraction.value, c.expected, 1e-11 * c.expected) << "a = " << c.a;
    }
}

TEST(BetacfRelaxedTest, ReportsAFractionThatNeverConverges) {
    const ContinuedFraction fraction = betacfRelaxed(2.0, 3.0, kNotANumber);
    EXPECT_FALSE(fraction.converged);
    EXPECT_EQ(fraction.iterations, MAXIT + kRelaxedExtraIterations);
    EXPECT_TRUE(std::isnan(fraction.value));

    const IncompleteBeta beta = betaiRelaxed(2.0, 3.0, kNotANumber);
    EXPECT_FALSE(beta.fraction.converged);
    EXPECT_TRUE(std::isnan(beta.value));
}

TEST(IncompleteBetaDeathTest, RelaxedVariantStillEndsTheProcessForBadX) {
    EXPECT_EXIT(betaiRelaxed(2.0, 3.0, -0.5), ::testing::ExitedWithCode(1), kBadX);
}

}  // namespace
}  // namespace kelvane
