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
        outcome.t = bracketCriticalT(nu, p, outcome);
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
    outcome.t = bracketCriticalT(nu, p, outcome);
    outcome.solved = true;
    return outcome;
}

double criticalT(double nu, double p, double tolerance) {
    return criticalTOutcome(nu, p, tolerance).t;
}

}  // namespace kelvane
