#pragma once
// The root of a tail function on a logarithmic scale: the v = ln t at which
// the upper or lower tail of a distribution of |T| equals a target, found by
// Halley steps inside a bracket.

#include <cmath>

namespace kelvane {

// What a tail function gives at v = ln t.
struct LogScaleTails {
    double logP = 0.0;          // ln P(|T| > t), falling with t
    double logQ = 0.0;          // ln P(|T| <= t), rising with t
    double logTDensity = 0.0;   // ln(t f(t)), f the density of |T|: -dP/d ln t
    double densitySlope = 0.0;  // d ln(t f(t)) / d ln t
};

// The bracket is [lowest, highest] to begin with; a step that would leave it
// is replaced by its end when that end was never evaluated, otherwise by
// halving. The solver stops once a Halley step is below kLogScaleStop: the next
// one would be below ε. A root beyond highest gives +infinity, one below
// lowest -infinity.
inline constexpr double kLogScaleStop = 3e-6;
inline constexpr int kLogScaleMaxSteps = 100;

// v with ln tail(v) = logTarget, the tail P (upper false) or Q (upper true),
// from start. tails(v) gives LogScaleTails and counts its own evaluations.
template <typename Tails>
double solveOnLogScale(double start, double logTarget, bool upper, double lowest, double highest, Tails&& tails) {
    // g(v) = sign (ln tail - logTarget) rises with v: positive above the root.
    const double sign = upper ? 1.0 : -1.0;
    double low = lowest;
    double high = highest;
    bool lowEvaluated = false;
    bool highEvaluated = false;
    double v = std::fmin(std::fmax(start, lowest), highest);
    for (int step = 0; step < kLogScaleMaxSteps; ++step) {
        const LogScaleTails at = tails(v);
        const double g = sign * ((upper ? at.logQ : at.logP) - logTarget);
        if (g > 0.0) {
            high = v;
            highEvaluated = true;
        } else if (g < 0.0) {
            low = v;
            lowEvaluated = true;
        } else {
            return v;
        }
        if (low >= high) break;
        // g' = E and g'' = E (densitySlope - sign E), E = t f(t) / tail.
        const double e = std::exp(at.logTDensity - (upper ? at.logQ : at.logP));
        const double newton = -g / e;
        const double halleyDenominator = 1.0 + 0.5 * newton * (at.densitySlope - sign * e);
        const double delta = halleyDenominator >= 0.5 ? newton / halleyDenominator : newton;
        if (std::fabs(delta) <= kLogScaleStop) return v + delta;
        double next = v + delta;
        if (std::isnan(next)) {
            next = 0.5 * (low + high);
        } else if (!(next > low && next < high)) {
            if (next >= high && !highEvaluated) {
                next = high;
            } else if (next <= low && !lowEvaluated) {
                next = low;
            } else {
                next = 0.5 * (low + high);
            }
        }
        if (next == v) break;
        v = next;
    }
    if (lowEvaluated && low >= highest) return HUGE_VAL;
    if (highEvaluated && high <= lowest) return -HUGE_VAL;
    return v;
}

}  // namespace kelvane
