#include "stats/normal_tail.h"

#include <cmath>

#include "stats/log_scale_solver.h"
#include "stats/math_constants.h"

namespace kelvane {

namespace {

constexpr double kHalfLnTwoOverPi = -0.2257913526447274;  // ln √(2/π)
constexpr double kSqrtHalf = 0.7071067811865476;

// From here on ln erfc(√u) comes from the asymptotic series, whose terms fall
// below kAsymptoticSmallestTerm within a dozen; erfc itself is a normal
// double up to about u = 708.
constexpr double kAsymptoticFrom = 200.0;
constexpr double kAsymptoticSmallestTerm = 1e-17;

// Rational approximations of the normal quantile (P. J. Acklam), for the
// lower one-sided tail: in the middle in q = p - 1/2, below kLowerBreak in
// r = √(-2 ln p).
constexpr double kLowerBreak = 0.02425;
constexpr double kMiddleNumerator[6] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                        1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr double kMiddleDenominator[5] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                          6.680131188771972e+01, -1.328068155288572e+01};
constexpr double kTailNumerator[6] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                      -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr double kTailDenominator[4] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                        3.754408661907416e+00};

// z lies between these for every p a double holds: erfc(40/√2) is below the
// smallest subnormal, and 1 - p is at least 2^-53.
constexpr double kLowestLogZ = -40.0;
constexpr double kHighestLogZ = 3.7;

}  // namespace

double logErfcOfSquareRoot(double u) {
    if (u < kAsymptoticFrom) return std::log(std::erfc(std::sqrt(u)));
    // erfc(s) = e^(-s²) / (s √π) · sum of (-1)^k (2k - 1)!! / (2s²)^k.
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; std::fabs(term) >= kAsymptoticSmallestTerm; ++k) {
        term *= -(2.0 * k - 1.0) / (2.0 * u);
        sum += term;
    }
    return -u - 0.5 * std::log(u) - kLnSqrtPi + std::log(sum);
}

double approximateNormalCriticalZ(double p) {
    // One-sided tail p/2; its logarithm keeps the smallest subnormal's half.
    if (p < 2.0 * kLowerBreak) {
        const double r = std::sqrt(-2.0 * (std::log(p) - kLnTwo));
        const double* c = kTailNumerator;
        const double* d = kTailDenominator;
        return -(((((c[0] * r + c[1]) * r + c[2]) * r + c[3]) * r + c[4]) * r + c[5]) /
               ((((d[0] * r + d[1]) * r + d[2]) * r + d[3]) * r + 1.0);
    }
    // p/2 - 1/2, exact as -(1 - p)/2 above one half.
    const double q = p > 0.5 ? -0.5 * (1.0 - p) : 0.5 * p - 0.5;
    const double r = q * q;
    const double* a = kMiddleNumerator;
    const double* b = kMiddleDenominator;
    return -(((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
}

double normalCriticalZ(double p, int& evaluations) {
    const bool upper = p > 0.5;
    const double logTarget = upper ? std::log1p(-p) : std::log(p);
    auto tails = [&evaluations](double logZ) {
        ++evaluations;
        const double z = std::exp(logZ);
        const double u = 0.5 * z * z;
        LogScaleTails at;
        at.logP = logErfcOfSquareRoot(u);
        at.logQ = at.logP < -kLnTwo ? std::log1p(-std::exp(at.logP)) : std::log(std::erf(z * kSqrtHalf));
        at.logTDensity = logZ + kHalfLnTwoOverPi - u;
        at.densitySlope = 1.0 - 2.0 * u;
        return at;
    };
    const double start = std::log(approximateNormalCriticalZ(p));
    return std::exp(solveOnLogScale(start, logTarget, upper, kLowestLogZ, kHighestLogZ, tails));
}

}  // namespace kelvane
