#include "stats/descriptive.h"

#include <cmath>
#include <limits>

namespace kelvane {

namespace {
constexpr double kAutocorrelationMinSd = 0.01;
constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();
}  // namespace

float mean(std::int32_t count, const float* values) {
    float sum = 0.0f;
    for (std::int32_t i = 0; i < count; ++i) sum += values[i];
    return sum / static_cast<float>(count);
}

void minMax(std::int32_t count, const float* values, float& smallest, float& largest) {
    if (count < 1) {
        smallest = kNotANumber;
        largest = kNotANumber;
        return;
    }
    // Running values in locals: the outputs might alias the values.
    float low = values[0];
    float high = values[0];
    for (std::int32_t i = 1; i < count; ++i) {
        if (values[i] > high) high = values[i];
        if (low > values[i]) low = values[i];
    }
    smallest = low;
    largest = high;
}

float standardDeviation(std::int32_t count, const float* values) {
    const float m = mean(count, values);
    float sum = 0.0f;
    for (std::int32_t i = 0; i < count; ++i) sum += (values[i] - m) * (values[i] - m);
    return std::sqrt(sum / static_cast<float>(std::int64_t{count} - 1));
}

float valueRange(std::int32_t count, const float* values) {
    float smallest;
    float largest;
    minMax(count, values, smallest, largest);
    return largest - smallest;
}

float autoCorrelation(std::int32_t n, const float* values, std::int32_t lag) {
    if (lag < 0) return kNotANumber;
    const float m = mean(n, values);
    // Wide enough that n - lag cannot overflow for a negative n.
    const std::int64_t products = (std::int64_t{n} - lag) - (n % 2);
    // One pass for both sums, each still in index order: the products over the
    // first products values and the squared deviations over all n, which
    // standardDeviation would sum from the same mean.
    float sum = 0.0f;
    float squares = 0.0f;
    for (std::int64_t i = 0; i < n; ++i) {
        if (i < products) sum += (values[i] - m) * (values[i + lag] - m);
        squares += (values[i] - m) * (values[i] - m);
    }
    const float sd = std::sqrt(squares / static_cast<float>(std::int64_t{n} - 1));
    if (static_cast<double>(sd) > kAutocorrelationMinSd) {
        return sum / ((static_cast<float>(products) * sd) * sd);
    }
    return 0.0f;
}

}  // namespace kelvane
