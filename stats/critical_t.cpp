#include "stats/critical_t.h"

#include <cmath>
#include <limits>

#include "stats/incomplete_beta.h"
#include "stats/student_t_tail.h"

namespace kelvane {

namespace {

constexpr double SEARCH_START_P = 0.5;
constexpr double SEARCH_START_T = 3.0;
constexpr double SEARCH_START_STEP = 1.5;
// The search stays strictly between these.
constexpr double SEARCH_LOWEST_T = 1.5;
constexpr double SEARCH_HIGHEST_T = 4.5;
// t stops changing after about 54 halvings; a search not done by then never is.
constexpr int SEARCH_MAX_EVALUATIONS = 64;

// The solver brackets ln t, widening by doubling (12 doublings span every
// double), then bisects until ln t is known to within SOLVER_LOG_T_WIDTH:
// t to within half that, relatively. At most about 65 evaluations.
constexpr int SOLVER_MAX_WIDENINGS = 12;
constexpr int SOLVER_MAX_BISECTIONS = 100;
constexpr double SOLVER_LOG_T_WIDTH = 1e-12;

// The largest degrees of freedom a map can have (a signed 32-bit count), and
// the last the search and the solver serve. Beyond them the search's p, from
// ln Gamma(nu/2 + 1/2) - ln Gamma(nu/2) with ln Gamma in the billions, keeps
// too few digits, and the solver's tails lose 1 - x = t^2/(nu + t^2) to the
// rounding of x: at nu = 1e16 the search takes a p of 7e-41 for t = 3.75.
// There the t comes from the normal quantile z and the expansion of t in 1/nu
// (Abramowitz and Stegun 26.7.5), whose next term is below 1e-30 of t there.
constexpr double LARGEST_SEARCHED_DEGREES_OF_FREEDOM = 2147483647.0;
// z lies below 40 for every positive double p (erfc(40/sqrt 2) is below the
// smallest); bisection halves the bracket until it holds one or two doubles.
constexpr double NORMAL_HIGHEST_Z = 40.0;
constexpr int NORMAL_MAX_BISECTIONS = 200;

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
    double p = SEARCH_START_P;
    double t = SEARCH_START_T;
    double step = SEARCH_START_STEP;
    double direction = 1.0;
    while (absoluteValue(p - target) > tolerance) {
        if (outcome.searchEvaluations == SEARCH_MAX_EVALUATIONS) {
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

// The t with two-tailed p equal to target (0 < target < 1), by bisection on
// ln t over studentTwoTailed, which keeps its accuracy where the search's p
// does not. Targets above 1/2 are matched in the upper tail, against
// 1 - target (exact for them), so t stays accurate as p approaches 1.
double bracketCriticalT(double nu, double target, CriticalTOutcome& outcome) {
    const bool upperTail = target > 0.5;
    const double tailTarget = upperTail ? 1.0 - target : target;
    // True when t = e^logT lies below the critical t.
    auto below = [&](double logT) {
        const StudentTail tail = studentTwoTailed(nu, std::exp(logT));
        tallyFraction(tail.fraction, outcome);
        return upperTail ? tail.q < tailTarget : tail.p > tailTarget;
    };

    double low = std::log(SEARCH_START_T);
    double high = low;
    double width = 1.0;
    if (below(low)) {
        for (int i = 0; i < SOLVER_MAX_WIDENINGS; ++i, width *= 2.0) {
            high = low + width;
            if (!below(high)) break;
            low = high;
        }
    } else {
        for (int i = 0; i < SOLVER_MAX_WIDENINGS; ++i, width *= 2.0) {
            low = high - width;
            if (below(low)) break;
            high = low;
        }
    }
    for (int i = 0; i < SOLVER_MAX_BISECTIONS && high - low > SOLVER_LOG_T_WIDTH; ++i) {
        const double middle = 0.5 * (low + high);
        if (below(middle)) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return std::exp(0.5 * (low + high));
}

// The z whose two-tailed normal p, erfc(z/sqrt 2), is target (0 < target <
// 1); targets above 1/2 are matched as 1 - target = erf(z/sqrt 2), exact for
// them, so that z keeps its digits as target approaches 1.
double normalCriticalZ(double target, CriticalTOutcome& outcome) {
    const bool upperTail = target > 0.5;
    const double tailTarget = upperTail ? 1.0 - target : target;
    const double rootHalf = std::sqrt(0.5);
    double low = 0.0;
    double high = NORMAL_HIGHEST_Z;
    for (int i = 0; i < NORMAL_MAX_BISECTIONS; ++i) {
        const double middle = 0.5 * (low + high);
        if (middle <= low || middle >= high) break;
        ++outcome.evaluations;
        const bool below =
            upperTail ? std::erf(middle * rootHalf) < tailTarget : std::erfc(middle * rootHalf) > tailTarget;
        if (below) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return 0.5 * (low + high);
}

// The critical t for nu beyond LARGEST_SEARCHED_DEGREES_OF_FREEDOM (0 <
// target < 1): z + g1(z)/nu + g2(z)/nu^2 + g3(z)/nu^3 + g4(z)/nu^4.
double largeDegreesOfFreedomT(double nu, double target, CriticalTOutcome& outcome) {
    const double z = normalCriticalZ(target, outcome);
    const double z2 = z * z;
    const double g1 = z * (z2 + 1.0) / 4.0;
    const double g2 = z * ((5.0 * z2 + 16.0) * z2 + 3.0) / 96.0;
    const double g3 = z * (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) / 384.0;
    const double g4 = z * ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) / 92160.0;
    return z + (g1 + (g2 + (g3 + g4 / nu) / nu) / nu) / nu;
}

// The true critical t (0 < target < 1) into outcome: the solver's, or beyond
// LARGEST_SEARCHED_DEGREES_OF_FREEDOM the expansion's.
void solve(double nu, double target, CriticalTOutcome& outcome) {
    outcome.t = nu > LARGEST_SEARCHED_DEGREES_OF_FREEDOM ? largeDegreesOfFreedomT(nu, target, outcome)
                                                         : bracketCriticalT(nu, target, outcome);
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
    if (nu > LARGEST_SEARCHED_DEGREES_OF_FREEDOM) {
        solve(nu, p, outcome);
        return outcome;
    }
    if (nu <= 0.0) {
        // No reach to speak of: p at any t is NaN for nu = 0, and nu < 0 ends the
        // process at the first evaluation.
        halvingSearch(nu, p, tolerance, outcome);
        return outcome;
    }
    const double lowestP = searchP(nu, SEARCH_HIGHEST_T, outcome);
    const double highestP = searchP(nu, SEARCH_LOWEST_T, outcome);
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
