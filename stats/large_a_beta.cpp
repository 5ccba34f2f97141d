#include "stats/large_a_beta.h"

#include <array>
#include <cmath>

#include "stats/normal_tail.h"
#include "stats/math_constants.h"

namespace kelvane {

namespace {

constexpr int kMaxTerms = 30;
constexpr double kSmallestTerm = 1e-17;  // relative to the sum

// 1/(2k + 1)! for k = 0 .. kMaxTerms.
constexpr std::array<double, kMaxTerms + 1> inverseOddFactorials() {
    std::array<double, kMaxTerms + 1> inverse{};
    double factorial = 1.0;
    for (int k = 0; k <= kMaxTerms; ++k) {
        if (k > 0) factorial *= (2.0 * k) * (2.0 * k + 1.0);
        inverse[k] = 1.0 / factorial;
    }
    return inverse;
}

// The expansion's coefficients for b = 1/2: p_0 = 1,
// p_n = (b - 1)/(2n + 1)! + (1/n) Σ_{m=1}^{n-1} (m b - n) p_(n-m) / (2m + 1)!.
constexpr std::array<double, kMaxTerms> halfCoefficients() {
    constexpr double b = 0.5;
    const std::array<double, kMaxTerms + 1> inverse = inverseOddFactorials();
    std::array<double, kMaxTerms> p{};
    p[0] = 1.0;
    for (int n = 1; n < kMaxTerms; ++n) {
        double sum = 0.0;
        for (int m = 1; m < n; ++m) sum += (m * b - n) * p[n - m] * inverse[m];
        p[n] = sum / n + (b - 1.0) * inverse[n];
    }
    return p;
}

constexpr std::array<double, kMaxTerms> HALF_COEFFICIENTS = halfCoefficients();

}  // namespace

double logIncompleteBetaHalfLargeA(double a, double logX, double logBeta, int& terms) {
    constexpr double b = 0.5;
    const double t = a - 0.25;
    const double u = -t * logX;
    const double logH = -u + 0.5 * std::log(u) - kLnSqrtPi;
    // J_0 = Q(b, u) / H; J_n = ((b + 2n - 2)(b + 2n - 1) J_(n-1) + (u + b + 2n - 1) (ln x / 2)^(2n - 2)) / (4 T²).
    double j = std::exp(logErfcOfSquareRoot(u) - logH);
    double sum = j;
    const double halfLogXSquared = 0.25 * logX * logX;
    const double fourTSquared = 4.0 * t * t;
    double power = 1.0;
    double b2n = b;
    terms = 1;
    for (int n = 1; n < kMaxTerms; ++n) {
        j = (b2n * (b2n + 1.0) * j + (u + b2n + 1.0) * power) / fourTSquared;
        power *= halfLogXSquared;
        b2n += 2.0;
        const double term = HALF_COEFFICIENTS[n] * j;
        sum += term;
        terms = n + 1;
        if (std::fabs(term) <= kSmallestTerm * std::fabs(sum)) break;
    }
    // Γ(a + 1/2) / Γ(a) = √π / B(a, 1/2).
    return kLnSqrtPi - logBeta - 0.5 * std::log(t) + logH + std::log(sum);
}

}  // namespace kelvane
