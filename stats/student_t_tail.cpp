#include "stats/student_t_tail.h"

#include <cmath>

#include "stats/large_a_beta.h"
#include "stats/math_constants.h"

namespace kelvane {

namespace {

// From here on the series for D(a) is used as it stands; its first omitted
// term is below 2e-19 there.
constexpr double kSeriesFrom = 20.0;

// D(a) = ln Γ(a + 1/2) - ln Γ(a) ~ ln(a)/2 + sum of c_n / a^n over odd n,
// c_n = (B_(n+1)(1/2) - B_(n+1)) / (n (n+1)) from Stirling's series.
constexpr double kDSeries[6] = {
    -1.0 / 8.0, 1.0 / 192.0, -1.0 / 640.0, 17.0 / 14336.0, -31.0 / 18432.0, 691.0 / 180224.0,
};

// Where the large-a expansion takes over from the continued fraction below
// its turning point.
constexpr double kLargeAFrom = 500.0;
constexpr double kLargeALowestLogX = -1.0;

double halfStepLogGammaRatio(double a) {
    double shift = 0.0;  // sum of log1p(1/(2a)) over the steps up to kSeriesFrom
    while (a < kSeriesFrom) {
        shift += std::log1p(0.5 / a);
        a += 1.0;
    }
    const double inverseSquare = 1.0 / (a * a);
    double series = kDSeries[5];
    for (int n = 4; n >= 0; --n) series = kDSeries[n] + inverseSquare * series;
    return 0.5 * std::log(a) + series / a - shift;
}

// ln(1 - e^v) for v < 0.
double logOneMinusExp(double v) {
    return v > -kLnTwo ? std::log(-std::expm1(v)) : std::log1p(-std::exp(v));
}

}  // namespace

double logBetaHalf(double a) {
    return kLnSqrtPi - halfStepLogGammaRatio(a);
}

namespace {

// Where r = t/√nu lies between these, r^2 and 1/r^2 are normal doubles and
// are formed from r itself; beyond them, from ln r.
constexpr double kDirectLowestR = 1e-150;
constexpr double kDirectHighestR = 1e150;

// Both tails at t = e^logT (t >= 0, logT its logarithm).
StudentTail tailsAt(double nu, double t, double logT) {
    const double a = 0.5 * nu;
    const double b = 0.5;

    // x = nu/(nu + t^2) and y = 1 - x, with their logarithms, from r = t/√nu
    // when t is small and from s = √nu/t when it is large, so that nothing
    // overflows and neither is formed as 1 minus the other.
    const double rootNu = std::sqrt(nu);
    const double r = t / rootNu;
    const bool direct = r >= kDirectLowestR && r <= kDirectHighestR;
    const double logR = direct ? std::log(r) : logT - 0.5 * std::log(nu);
    double x, y, logX, logY;
    if (logR <= 0.0) {
        const double r2 = direct ? r * r : std::exp(2.0 * logR);
        x = 1.0 / (1.0 + r2);
        y = r2 / (1.0 + r2);
        logX = -std::log1p(r2);
        logY = 2.0 * logR + logX;
    } else {
        const double s = rootNu / t;
        const double s2 = direct ? s * s : std::exp(-2.0 * logR);
        x = s2 / (1.0 + s2);
        y = 1.0 / (1.0 + s2);
        logY = -std::log1p(s2);
        logX = -2.0 * logR + logY;
    }

    StudentTail tail;
    tail.y = y;
    const double logBeta = logBetaHalf(a);
    // ln(x^a y^b / B(a, b)) = ln(t f(t)) for the density f of |T|.
    const double logPrefactor = a * logX + b * logY - logBeta;
    tail.logs.logTDensity = kLnTwo + logPrefactor;
    tail.logs.densitySlope = 1.0 - (nu + 1.0) * y;
    if (x < (a + 1.0) / (a + b + 2.0)) {
        if (a >= kLargeAFrom && logX >= kLargeALowestLogX) {
            tail.logs.logP = logIncompleteBetaHalfLargeA(a, logX, logBeta, tail.fraction.iterations);
            tail.fraction.converged = true;
        } else {
            tail.fraction = betacfRelaxed(a, b, x);
            tail.logs.logP = logPrefactor + std::log(tail.fraction.value / a);
        }
        tail.logs.logQ = logOneMinusExp(tail.logs.logP);
    } else {
        tail.fraction = betacfRelaxed(b, a, y);
        tail.logs.logQ = logPrefactor + std::log(tail.fraction.value / b);
        tail.logs.logP = logOneMinusExp(tail.logs.logQ);
    }
    tail.p = std::exp(tail.logs.logP);
    tail.q = std::exp(tail.logs.logQ);
    return tail;
}

}  // namespace

StudentTail studentTwoTailedAtLogT(double nu, double logT) {
    return tailsAt(nu, std::exp(logT), logT);
}

StudentTail studentTwoTailed(double nu, double t) {
    t = std::fabs(t);
    return tailsAt(nu, t, std::log(t));
}

}  // namespace kelvane
