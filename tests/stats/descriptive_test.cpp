#include "stats/descriptive.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/float_bits.h"

namespace kelvane {
namespace {

constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();
const float kOneToFour[] = {1, 2, 3, 4};
const float kOneToFive[] = {1, 2, 3, 4, 5};
const float kSpread[] = {2, 4, 4, 4, 5, 5, 7, 9};

TEST(MeanTest, Values) {
    EXPECT_EQ(mean(4, kOneToFour), 2.5f);
    EXPECT_TRUE(std::isnan(mean(0, kOneToFour)));
}

// Single precision, first value first: 1e8 + 1 is 1e8 in floats.
TEST(MeanTest, SumsInSinglePrecisionInIndexOrder) {
    const float absorbed[] = {1e8f, 1.0f, -1e8f};
    EXPECT_EQ(mean(3, absorbed), 0.0f);
    const float kept[] = {1e8f, -1e8f, 1.0f};
    EXPECT_EQ(mean(3, kept), 1.0f / 3.0f);
}

TEST(MinMaxTest, Values) {
    const float values[] = {3, -1, 7, 7};
    float smallest = 0;
    float largest = 0;
    minMax(4, values, smallest, largest);
    EXPECT_EQ(smallest, -1.0f);
    EXPECT_EQ(largest, 7.0f);
}

TEST(MinMaxTest, NotANumber) {
    float smallest = 0;
    float largest = 0;
    const float later[] = {3, kNotANumber, -1, 7};
    minMax(4, later, smallest, largest);
    EXPECT_EQ(smallest, -1.0f);
    EXPECT_EQ(largest, 7.0f);
    const float first[] = {kNotANumber, -1, 7};
    minMax(3, first, smallest, largest);
    EXPECT_TRUE(std::isnan(smallest));
    EXPECT_TRUE(std::isnan(largest));
}

// No values: nothing is read (a null array would fault) and both are NaN.
TEST(MinMaxTest, NoValuesGiveNotANumber) {
    for (int count : {0, -3}) {
        float smallest = 0;
        float largest = 0;
        minMax(count, nullptr, smallest, largest);
        EXPECT_TRUE(std::isnan(smallest));
        EXPECT_TRUE(std::isnan(largest));
        EXPECT_TRUE(std::isnan(valueRange(count, nullptr)));
    }
}

TEST(StandardDeviationTest, Values) {
    EXPECT_EQ(standardDeviation(8, kSpread), std::sqrt(32.0f / 7.0f));
    EXPECT_NEAR(standardDeviation(8, kSpread), 2.1380899, 1e-6);
    EXPECT_TRUE(std::isnan(standardDeviation(1, kSpread)));
}

TEST(ValueRangeTest, Values) {
    EXPECT_EQ(valueRange(8, kSpread), 7.0f);
}

struct AutoCorrelationCase {
    const float* values;
    int n;
    int lag;
    float expected;
};

void PrintTo(const AutoCorrelationCase& c, std::ostream* out) {
    *out << "n " << c.n << " lag " << c.lag;
}

class AutoCorrelationTest : public ::testing::TestWithParam<AutoCorrelationCase> {};

TEST_P(AutoCorrelationTest, Value) {
    const AutoCorrelationCase c = GetParam();
    EXPECT_FLOAT_EQ(autoCorrelation(c.n, c.values, c.lag), c.expected);
}

// An odd n leaves its last value out of the products but not out of the
// mean and the standard deviation.
INSTANTIATE_TEST_SUITE_P(Series, AutoCorrelationTest,
                         ::testing::Values(AutoCorrelationCase{kOneToFour, 4, 0, 0.75f},
                                           AutoCorrelationCase{kOneToFour, 4, 1, 0.25f},
                                           AutoCorrelationCase{kOneToFour, 4, 2, -0.45f},
                                           AutoCorrelationCase{kOneToFive, 5, 0, 0.6f},
                                           AutoCorrelationCase{kOneToFive, 5, 1, 0.2666667f}));

TEST(AutoCorrelationEdgeTest, SmallSpreadGivesZero) {
    const float small[] = {0, 0.01f, 0, 0.01f};
    EXPECT_EQ(autoCorrelation(4, small, 1), 0.0f);
    const float constant[] = {3, 3, 3, 3, 3};
    EXPECT_EQ(autoCorrelation(5, constant, 1), 0.0f);
}

TEST(AutoCorrelationEdgeTest, NoProducts) {
    EXPECT_TRUE(std::isnan(autoCorrelation(4, kOneToFour, 4)));  // K = 0
    const float negativeK = autoCorrelation(4, kOneToFour, 5);   // K = -1
    EXPECT_EQ(negativeK, 0.0f);
    EXPECT_TRUE(std::signbit(negativeK));
}

// The four passes as written out (its mean, the products, the standard
// deviation's own mean and squared deviations) give the bits the routine
// gives, over noisy series where any change of order would show.
TEST(AutoCorrelationPassesTest, SameBitsAsTheFourPasses) {
    std::mt19937 random(16);
    std::normal_distribution<float> noise(100.0f, 15.0f);
    std::vector<float> values(1001);
    for (float& value : values) value = noise(random);
    for (int n : {1001, 1000}) {
        for (int lag : {0, 1, 7, 500}) {
            const float m = mean(n, values.data());
            const int64_t products = (int64_t{n} - lag) - (n % 2);
            float sum = 0.0f;
            for (int64_t i = 0; i < products; ++i) sum += (values[i] - m) * (values[i + lag] - m);
            const float sd = standardDeviation(n, values.data());
            const float fourPasses = sum / ((static_cast<float>(products) * sd) * sd);
            EXPECT_EQ(testing::floatBits(autoCorrelation(n, values.data(), lag)), testing::floatBits(fourPasses))
                << "n " << n << " lag " << lag;
        }
    }
}

// A negative lag would read before the array: NaN, reading nothing.
TEST(AutoCorrelationEdgeTest, NegativeLagGivesNotANumber) {
    EXPECT_TRUE(std::isnan(autoCorrelation(4, nullptr, -1)));
    EXPECT_TRUE(std::isnan(autoCorrelation(4, kOneToFour, -3)));
}

}  // namespace
}  // namespace kelvane
