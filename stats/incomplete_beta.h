#pragma once

namespace kelvane {

// Largest number of iterations of the incomplete beta continued fraction
// under its strict convergence test.
constexpr int MAXIT = 100;

// Iterations the relaxed fraction may run beyond MAXIT, and its test on the
// last correction factor in units of the machine epsilon.
constexpr int kRelaxedExtraIterations = 400;
constexpr double kRelaxedToleranceEpsilons = 4.0;

// ln Γ(x) for x > 0 by the six-term Lanczos series with γ = 5; the series
// approximates Γ itself to about 2e-10 relative, so the result is good to
// about 2e-10 absolute (logGamma(1) and logGamma(2) come out 0 to ~1e-15).
// For x <= 0 the result is whatever IEEE arithmetic makes of the formula
// (an infinity or a NaN); nothing faults.
double logGamma(double x);

// The continued fraction of the regularized incomplete beta function,
// evaluated by the modified Lentz method until the last correction factor is
// within the machine epsilon of 1. Ends the process through
// fatalNumericError when that takes more than MAXIT iterations.
double betacf(double a, double b, double x);

// The regularized incomplete beta function I_x(a, b), for a > 0, b > 0:
// x^a (1-x)^b / (a B(a,b)) times betacf(a, b, x) below x = (a+1)/(a+b+2),
// otherwise 1 - I_(1-x)(b, a). The fraction converges to full precision, so
// the prefactor sets the accuracy: about 1e-10 relative (measured 2e-11 for
// a, b up to 40) from the three logGamma values, falling towards 1e-8 for a
// in the millions, where ln Γ(a + b) - ln Γ(a) cancels.
// Ends the process for x outside [0, 1] (a NaN x passes the check and ends
// it through the fraction).
double betai(double a, double b, double x);

// |value|; the search for a critical t measures its distance in p with it.
double absoluteValue(double value);

// One evaluation of the continued fraction by the variant that does not end
// the process.
struct ContinuedFraction {
    double value = 0.0;  // the fraction (the last value reached if not converged)
    int iterations = 0;  // iterations run
    bool converged = false;
    bool relaxed = false;  // converged only under the relaxed test, after MAXIT
};

// The same fraction as betacf, bit for bit where betacf converges. Where it
// does not, it carries on for up to kRelaxedExtraIterations more with the
// test widened to kRelaxedToleranceEpsilons epsilons, and returns the value
// it has, converged or not.
ContinuedFraction betacfRelaxed(double a, double b, double x);

struct IncompleteBeta {
    double value = 0.0;
    ContinuedFraction fraction;  // the one fraction evaluated on the way
};

// betai with betacfRelaxed in place of betacf: the same bits wherever betai
// returns, and a value instead of the exit where the fraction fails. x
// outside [0, 1] still ends the process.
IncompleteBeta betaiRelaxed(double a, double b, double x);

}  // namespace kelvane
