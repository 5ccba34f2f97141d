#pragma once

namespace kelvane {

// The t whose two-tailed p with nu degrees of freedom is p, found by the
// halving search: from t = 3 with a step of 1.5, evaluate p at t, turn
// towards the target, halve the step and move, until the p last evaluated is
// within tolerance of the target. The search reaches t only between 1.5 and
// 4.5, so a target outside [P(4.5) - tolerance, P(1.5) + tolerance], or one
// the search still has not met when t stops changing, gets the true critical
// t from the solver instead: Halley steps on ln t against the logarithm of the
// tail, from the normal z and the expansion of t in 1/nu, in a bracket; a few
// evaluations, and the true t to about 1e-13 relative (v ε for t = e^v) for
// any p a double holds, the subnormal ones included, up to 2^31 - 1 degrees of
// freedom. Beyond them, more than any map has, the t is the expansion from the
// exact normal z, exact to double precision there. A critical t beyond the
// largest double (nu near 1, p below about 3.5e-309) is +infinity.
// p = 1 gives 0; a p that is NaN, <= 0 or > 1 gives NaN, as does a nu that is
// not finite. nu = 0 gives 3.75 (3 for p within tolerance of 0.5); nu < 0
// ends the process with "Bad x in routine betai".
double criticalT(double nu, double p, double tolerance);

// The t the halving search tries first.
inline constexpr double kSearchStartT = 3.0;

// What one call of criticalT did.
struct CriticalTOutcome {
    double t = 0.0;
    int searchEvaluations = 0;  // evaluations of p by the halving search
    int solverEvaluations = 0;  // tails evaluated by the solver (beyond 2^31 - 1, normal tails)
    int evaluations = 0;        // all of them: reach check, search and solver
    bool solved = false;        // t came from the solver (or, beyond 2^31 - 1, the expansion)
    int relaxedFractions = 0;   // continued fractions that needed the relaxed test
    int unconvergedFractions = 0;
};

// criticalT, reporting how it got there.
CriticalTOutcome criticalTOutcome(double nu, double p, double tolerance);

// The true critical t (nu > 0, 0 < p <= 1) by the solver alone (beyond
// 2^31 - 1 degrees of freedom, by the expansion), as criticalT finds it for
// the targets its search cannot meet.
CriticalTOutcome solveCriticalT(double nu, double p);

// The two-tailed p of t with nu degrees of freedom as the halving search sees
// it: betai(nu/2, 1/2, nu/(nu + t*t)), evaluated with betaiRelaxed.
double halvingSearchP(double nu, double t);

}  // namespace kelvane
