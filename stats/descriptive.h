#pragma once

#include <cstdint>

namespace kelvane {

// Descriptive statistics over count single-precision values. Every sum,
// product, quotient and root is formed in single precision, in index order
// from the first value; nothing is checked beyond what is said here.

// sum / count; a count of 0 gives NaN.
float mean(std::int32_t count, const float* values);

// Smallest and largest value (strict comparisons, so a NaN after the first
// value never replaces either; a NaN first value stays in both). A count
// below 1 reads nothing and sets both to NaN.
void minMax(std::int32_t count, const float* values, float& smallest, float& largest);

// Sample standard deviation, divisor count - 1; a count of 1 gives NaN.
float standardDeviation(std::int32_t count, const float* values);

// Largest minus smallest; NaN for a count below 1.
float valueRange(std::int32_t count, const float* values);

// Autocorrelation at lag: S / (K sd sd), with S the sum of the K products
// (v[i] - m)(v[i + lag] - m), K = n - lag - (n mod 2) (an odd n leaves its
// last value out of the products), m and sd the mean and standard deviation
// of all n values. 0 when sd is 0.01 or less (or NaN); NaN for a negative lag,
// without reading anything.
float autoCorrelation(std::int32_t n, const float* values, std::int32_t lag);

}  // namespace kelvane
