#include "stats/critical_t.h"

#include <cmath>
#include <limits>

#include "stats/incomplete_beta.h"
#include "stats/log_scale_solver.h"
#include "stats/math_constants.h"
#include "stats/normal_tail.h"
#include "stats/student_t_tail.h"

namespace kelvane {

namespace {

constexpr double kSearchStartP = 0.5;
constexpr double kSearchStartStep = 1.5;
// The search stays strictly between these.
constexpr double kSearchLowestT = 1.5;
constexpr double kSearchHighestT = 4.5;
// t stops changing after about 54 halvings; a search not done by then never is.
constexpr int kSearchMaxEvaluations = 64;

// The largest degrees of freedom a map can have (a signed 32-bit count), and
// the last the search and the solver serve. Beyond them the search's p, from
// ln Gamma(nu/2 + 1/2) - ln Gamma(nu/2) with ln Gamma in the billions, keeps
// too few digits (at nu = 1e16 it takes a p of 7e-41 for t = 3.75), and the
// terms of the solver's continued fraction lose nu itself to rounding. There
// the t comes from the exact normal critical z and the expansion of t in 1/nu
// (Abramowitz and Stegun 26.7.5), whose next term is below 1e-30 of t for
// every p down to the smallest subnormal.
constexpr double kLargestSearchedDegreesOfFreedom = 2147483647.0;
// The solver's bracket on ln t: from the smallest subnormal to the largest
// double. A critical t beyond the largest double (one degree of freedom and p
// below about 3.5e-309) is +infinity.
constexpr double kLowestLogT = -745.0;
const double kHighestLogT = std::log(std::numeric_limits<double>::max());

// Where the expansion's last term is above this share of t (few degrees of
// freedom and a small p), the solver starts from the tail's leading term
// instead.
constexpr double kExpansionTrustedShare = 0.01;

void tallyFraction(const ContinuedFraction& fraction, CriticalTOutcome& outcome) {
    ++outcome.evaluations;
    if (fraction.relaxed) ++outcome.relaxedFractions;
    if (!fraction.converged) ++outcome.unconvergedFractions;
}

double searchP(double nu, double t, CriticalTOutcome& outcome) {
    const IncompleteBeta p = betaiRelaxed(0.5 * nu, 0.5, nu / (nu + t * t));
    tallyFraction(p.fraction, outcome);
    return p.value;
}

// The halving search; false when it gave up without meeting the tolerance.
bool halvingSearch(double nu, double target, double tolerance, CriticalTOutcome& outcome) {
    double p = kSearchStartP;
    double t = kSearchStartT;
    double step = kSearchStartStep;
    double direction = 1.0;
    while (absoluteValue(p - target) > tolerance) {
        if (outcome.searchEvaluations == kSearchMaxEvaluations) {
            outcome.t = t;
            return false;
        }
        p = searchP(nu, t, outcome);
        ++outcome.searchEvaluations;
        if ((p > target && direction == -1.0) || (target > p && direction == 1.0)) direction *= -1.0;
        step *= 0.5;
        t += direction * step;
    }
    outcome.t = t;
    return true;
}

// The expansion of t in 1/nu around the normal critical z (Abramowitz and
// Stegun 26.7.5): z + g1(z)/nu + g2(z)/nu^2 + g3(z)/nu^3 + g4(z)/nu^4.
// lastTerm receives |g4(z)/nu^4|.
double expandedT(double z, double nu, double& lastTerm) {
    const double z2 = z * z;
    const double g1 = z * (z2 + 1.0) / 4.0;
    const double g2 = z * ((5.0 * z2 + 16.0) * z2 + 3.0) / 96.0;
    const double g3 = z * (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) / 384.0;
    const double g4 = z * ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) / 92160.0;
    lastTerm = std::fabs(g4 / nu / nu / nu / nu);
    return z + (g1 + (g2 + (g3 + g4 / nu) / nu) / nu) / nu;
}

// Where the solver starts, as ln t: the expansion from the approximate normal
// z, or, where that is not to be trusted (few degrees of freedom), the
// leading term of the tail: below one half p = x^a / (a B(a, 1/2)) with x =
// nu/(nu + t^2), above it 1 - p = 2 t / (√nu B(a, 1/2)).
double solverStart(double nu, double target) {
    double lastTerm = 0.0;
    const double t = expandedT(approximateNormalCriticalZ(target), nu, lastTerm);
    if (lastTerm <= kExpansionTrustedShare * t) return std::log(t);
    const double a = 0.5 * nu;
    if (target > 0.5) return std::log1p(-target) + 0.5 * std::log(nu) + logBetaHalf(a) - kLnTwo;
    const double logX = (std::log(target) + std::log(a) + logBetaHalf(a)) / a;
    if (!(logX < 0.0)) return std::log(t);
    // t^2 = nu (1/x - 1); ln(e^w - 1) is w itself once e^-w is below ε.
    const double w = -logX;
    return 0.5 * std::log(nu) + 0.5 * (w > 40.0 ? w : std::log(std::expm1(w)));
}

// The true critical t (0 < target < 1, 0 < nu <= 2^31 - 1): Halley steps on
// ln t against the logarithm of the tail, the upper one for targets above one
// half (exact as 1 - target there, and holding t's digits as the target nears
// 1), inside a bracket.
double solvedCriticalT(double nu, double target, CriticalTOutcome& outcome) {
    const bool upper = target > 0.5;
    const double logTarget = upper ? std::log1p(-target) : std::log(target);
    auto tails = [nu, &outcome](double logT) {
        const StudentTail tail = studentTwoTailedAtLogT(nu, logT);
        tallyFraction(tail.fraction, outcome);
        ++outcome.solverEvaluations;
        return tail.logs;
    };
    return std::exp(solveOnLogScale(solverStart(nu, target), logTarget, upper, kLowestLogT, kHighestLogT, tails));
}

// The critical t for nu beyond kLargestSearchedDegreesOfFreedom (0 <
// target < 1): the expansion from the exact normal z.
double largeDegreesOfFreedomT(double nu, double target, CriticalTOutcome& outcome) {
    int evaluations = 0;
    const double z = normalCriticalZ(target, evaluations);
    outcome.evaluations += evaluations;
    outcome.solverEvaluations += evaluations;
    double lastTerm = 0.0;
    return expandedT(z, nu, lastTerm);
}

// The true critical t (0 < target < 1) into outcome: the solver's, or beyond
// kLargestSearchedDegreesOfFreedom the expansion's.
void solve(double nu, double target, CriticalTOutcome& outcome) {
    outcome.t = nu > kLargestSearchedDegreesOfFreedom ? largeDegreesOfFreedomT(nu, target, outcome)
                                                      : solvedCriticalT(nu, target, outcome);
    outcome.solved = true;
}

}  // namespace

double halvingSearchP(double nu, double t) {
    CriticalTOutcome ignored;
    return searchP(nu, t, ignored);
}

CriticalTOutcome solveCriticalT(double nu, double p) {
    CriticalTOutcome outcome;
    outcome.solved = true;
    if (!(p > 0.0 && p <= 1.0) || !(nu > 0.0) || !std::isfinite(nu)) {
        outcome.t = std::numeric_limits<double>::quiet_NaN();
    } else if (p < 1.0) {
        solve(nu, p, outcome);
    }
    return outcome;
}

CriticalTOutcome criticalTOutcome(double nu, double p, double tolerance) {
    CriticalTOutcome outcome;
    if (!(p > 0.0 && p <= 1.0) || !std::isfinite(nu)) {
        outcome.t = std::numeric_limits<double>::quiet_NaN();
        return outcome;
    }
    if (p == 1.0) return outcome;  // t = 0
    if (nu > kLargestSearchedDegreesOfFreedom) {
        solve(nu, p, outcome);
        return outcome;
    }
    if (nu <= 0.0) {
        // No reach to speak of: p at any t is NaN for nu = 0, and nu < 0 ends the
        // process at the first evaluation.
        halvingSearch(nu, p, tolerance, outcome);
        return outcome;
    }
    const double lowestP = searchP(nu, kSearchHighestT, outcome);
    const double highestP = searchP(nu, kSearchLowestT, outcome);
    const bool reachable = p >= lowestP - tolerance && p <= highestP + tolerance;
    // A search that stops before its first evaluation (a target within
    // tolerance of its start value 0.5, in reach only for nu below 1) has
    // found nothing either.
    if (reachable && halvingSearch(nu, p, tolerance, outcome) && outcome.searchEvaluations > 0) {
        return outcome;
    }
    solve(nu, p, outcome);
    return outcome;
}

double criticalT(double nu, double p, double tolerance) {
    return criticalTOutcome(nu, p, tolerance).t;
}

}  // namespace kelvane
