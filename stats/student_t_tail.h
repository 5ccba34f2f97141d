#pragma once

#include "stats/incomplete_beta.h"

namespace kelvane {

// The two tails of Student's t with nu degrees of freedom at |t|: p is the
// two-tailed probability I_x(nu/2, 1/2) with x = nu/(nu + t^2), q = 1 - p.
struct StudentTail {
    double p = 0.0;
    double q = 0.0;
    ContinuedFraction fraction;  // the continued fraction evaluated on the way
};

// Both tails for nu > 0 and any t, the smaller of the two formed directly
// rather than as 1 minus the other: to about 1e-12 relative, and a few 1e-10
// for nu in the millions, where x within about 1e-6 of 1 costs the fraction
// up to ε/(1 - x). Uses the incomplete beta continued fraction
// (betacfRelaxed), but neither betai's prefactor nor its x: x and 1 - x come
// from t^2/nu without rounding nu + t^2, ln x and ln(1 - x) through log1p,
// and ln B(nu/2, 1/2) from an asymptotic series instead of a difference of
// two logGamma values, which for nu in the millions keeps only 8 digits.
// Good to about 1e-8 up to nu = 2^31 - 1; beyond, where x itself rounds
// towards 1, the fraction loses 1 - x (at nu = 1e13 a t off by 1e-4, at 1e18
// a negative p), and criticalT does not ask it there.
StudentTail studentTwoTailed(double nu, double t);

// ln B(a, 1/2) for a > 0, to about 1e-15 absolute: ln Γ(1/2) - D(a), with
// D(a) = ln Γ(a + 1/2) - ln Γ(a) from its asymptotic series for a >= 20 and
// the recurrence D(a) = D(a + 1) - log1p(1/(2a)) below.
double logBetaHalf(double a);

}  // namespace kelvane
