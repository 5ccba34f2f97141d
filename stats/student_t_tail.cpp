#include "stats/student_t_tail.h"

#include <cmath>

namespace kelvane {

namespace {

constexpr double LN_SQRT_PI = 0.5723649429247001;  // ln Γ(1/2)

// From here on the series for D(a) is used as it stands; its first omitted
// term is below 2e-19 there.
constexpr double SERIES_FROM = 20.0;

// D(a) = ln Γ(a + 1/2) - ln Γ(a) ~ ln(a)/2 + sum of c_n / a^n over odd n,
// c_n = (B_(n+1)(1/2) - B_(n+1)) / (n (n+1)) from Stirling's series.
constexpr double D_SERIES[6] = {
    -1.0 / 8.0, 1.0 / 192.0, -1.0 / 640.0, 17.0 / 14336.0, -31.0 / 18432.0, 691.0 / 180224.0,
};

double halfStepLogGammaRatio(double a) {
    double shift = 0.0;  // sum of log1p(1/(2a)) over the steps up to SERIES_FROM
    while (a < SERIES_FROM) {
        shift += std::log1p(0.5 / a);
        a += 1.0;
    }
    const double inverseSquare = 1.0 / (a * a);
    double series = D_SERIES[5];
    for (int n = 4; n >= 0; --n) series = D_SERIES[n] + inverseSquare * series;
    return 0.5 * std::log(a) + series / a - shift;
}

}  // namespace

double logBetaHalf(double a) {
    return LN_SQRT_PI - halfStepLogGammaRatio(a);
}

StudentTail studentTwoTailed(double nu, double t) {
    const double a = 0.5 * nu;
    const double b = 0.5;
    t = std::fabs(t);

    // x = nu/(nu + t^2) and y = 1 - x, with their logarithms, from r = t/√nu
    // when t is small and from s = √nu/t when it is large, so that nothing
    // overflows and neither is formed as 1 minus the other.
    double x, y, logX, logY;
    const double rootNu = std::sqrt(nu);
    if (t <= rootNu) {
        const double r = t / rootNu;
        const double r2 = r * r;
        x = 1.0 / (1.0 + r2);
        y = r2 / (1.0 + r2);
        logX = -std::log1p(r2);
        logY = 2.0 * std::log(r) + logX;
    } else {
        const double s = rootNu / t;
        const double s2 = s * s;
        x = s2 / (1.0 + s2);
        y = 1.0 / (1.0 + s2);
        logY = -std::log1p(s2);
        logX = 2.0 * std::log(s) + logY;
    }

    StudentTail tail;
    const double bt = std::exp(a * logX + b * logY - logBetaHalf(a));
    if (x < (a + 1.0) / (a + b + 2.0)) {
        tail.fraction = betacfRelaxed(a, b, x);
        tail.p = bt * tail.fraction.value / a;
        tail.q = 1.0 - tail.p;
    } else {
        tail.fraction = betacfRelaxed(b, a, y);
        tail.q = bt * tail.fraction.value / b;
        tail.p = 1.0 - tail.q;
    }
    return tail;
}

}  // namespace kelvane
