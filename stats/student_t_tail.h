#pragma once

#include "stats/incomplete_beta.h"
#include "stats/log_scale_solver.h"

namespace kelvane {

// The two tails of Student's t with nu degrees of freedom at |t|: p is the
// two-tailed probability I_x(nu/2, 1/2) with x = nu/(nu + t^2), q = 1 - p,
// each also as its logarithm, which holds where the tail itself underflows.
struct StudentTail {
    double p = 0.0;
    double q = 0.0;
    LogScaleTails logs;  // ln p, ln q, and the density term the solver steps with
    double y = 0.0;      // t^2/(nu + t^2)
    // The continued fraction evaluated on the way; where the large-a expansion
    // gave p instead, its terms as iterations, converged.
    ContinuedFraction fraction;
};

// Both tails for 0 < nu <= 2^31 - 1 and any t, the smaller of the two formed
// directly rather than as 1 minus the other, to about 1e-14 relative (in the
// logarithm, 1e-15 of it) however small. x and 1 - x come from t^2/nu
// without rounding nu + t^2, their logarithms through log1p, and
// ln B(nu/2, 1/2) from an asymptotic series rather than a difference of two
// logGamma values, which for nu in the millions keeps only 8 digits. Below
// the fraction's turning point, x < (a + 1)/(a + 5/2) with a = nu/2, p comes
// from the incomplete beta continued fraction of I_x(a, 1/2) (betacfRelaxed),
// or, for a >= 500 and x >= 1/e, where that fraction would lose digits to x
// near 1, from the large-a expansion (logIncompleteBetaHalfLargeA); at and
// above it q comes from the fraction of I_y(1/2, a). Beyond 2^31 - 1 the
// fraction's terms lose nu itself to rounding, and criticalT does not ask
// for these tails there.
StudentTail studentTwoTailed(double nu, double t);

// The same at t = e^logT, for the solver that steps in ln t.
StudentTail studentTwoTailedAtLogT(double nu, double logT);

// ln B(a, 1/2) for a > 0, to about 1e-15 absolute: ln Γ(1/2) - D(a), with
// D(a) = ln Γ(a + 1/2) - ln Γ(a) from its asymptotic series for a >= 20 and
// the recurrence D(a) = D(a + 1) - log1p(1/(2a)) below.
double logBetaHalf(double a);

}  // namespace kelvane
