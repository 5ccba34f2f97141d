// criticalT over any degrees of freedom nu >= 1 (a map's integer counts, the
// values between them, and any magnitude a double holds) and any p in (0, 1],
// the smallest subnormal included. It ends (a bounded number of evaluations),
// never ends the process, and its t is what it promises: where the halving
// search met the tolerance, the t one step back along the search has a p
// within tolerance of the target; where the search could not, the t is the
// true critical t, which the accurate tails bracket, compared by their
// logarithms (beyond 2^31 - 1 degrees of freedom, the normal's critical z and
// that of 2^31 - 1).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "stats/critical_t.h"
#include "stats/normal_tail.h"
#include "stats/student_t_tail.h"
#include "tests/fuzz/fuzz_input.h"

namespace kelvane::fuzz {
namespace {

constexpr const char* kTarget = "critical_t";
constexpr double kDialogTolerance = 1e-7;  // what the map update pass passes
// Reach check, search and solver together stay well below this.
constexpr int kMostEvaluations = 200;
// The solver's t is good to 1e-12 relative; the tails are checked this far
// either side of it.
constexpr double kSolverWindow = 1e-12;
// More degrees of freedom than any map has (a signed 32-bit count).
constexpr double kLargestMapDegreesOfFreedom = 2147483647.0;

std::string describe(double nu, double p, double tolerance, const CriticalTOutcome& outcome) {
    char text[256];
    std::snprintf(text, sizeof text, "nu %.17g, p %.17g, tolerance %.17g: t %.17g, %d search evaluations, %s", nu, p,
                  tolerance, outcome.t, outcome.searchEvaluations, outcome.solved ? "solved" : "searched");
    return text;
}

// 1 + fraction/65536, for the mantissa of a scaled value.
double mantissa(FuzzInput& in) {
    return 1.0 + in.u16() / 65536.0;
}

double degreesOfFreedom(FuzzInput& in) {
    switch (in.byte() % 4) {
        case 0:
            return 1.0 + in.byte();  // the usual few
        case 1:
            return 1.0 + static_cast<double>(in.u32() & 0x7ffffffe);  // any map's integer count
        case 2:
            return 1.0 + std::fabs(std::fmod(in.f64(), 2147483646.0));  // between the integers
        default: {                                                      // up to 2^31, or any magnitude
            const double m = mantissa(in);
            const uint8_t scale = in.byte();
            return std::ldexp(m, scale % 4 == 0 ? in.byte() * 4 : in.byte() % 32);
        }
    }
}

double targetP(FuzzInput& in) {
    switch (in.byte() % 5) {
        case 0:
            return static_cast<double>(in.f32());  // a dialog's p, widened
        case 1:
            return in.f64();
        case 2:
            return 1.0;
        case 3: {  // down to the smallest subnormal
            const double m = mantissa(in);
            return std::ldexp(m, -static_cast<int>(in.u16() % 1075));
        }
        default: {  // near 1
            const double m = mantissa(in);
            return 1.0 - std::ldexp(m, -static_cast<int>(in.byte() % 54));
        }
    }
}

double tolerance(FuzzInput& in) {
    const uint8_t choice = in.byte();
    if (choice < 192) return kDialogTolerance;
    return std::ldexp(1.0, -static_cast<int>(choice % 40));
}

// The logarithm of the tail matched with p at nu degrees of freedom, and of
// that target: the upper tail, exact there, for p above one half.
double logTail(const StudentTail& tail, double p) {
    return p > 0.5 ? tail.logs.logQ : tail.logs.logP;
}
double logTarget(double p) {
    return p > 0.5 ? std::log1p(-p) : std::log(p);
}

// Whether t is the critical t for p: the tails a hair either side of it
// bracket p.
bool isTrueCriticalT(double nu, double p, double t) {
    if (p == 1.0) return t == 0.0;
    if (!(t > 0.0)) return false;
    const double target = logTarget(p);
    if (std::isinf(t)) {  // the true t lies beyond every double
        return logTail(studentTwoTailed(nu, std::numeric_limits<double>::max()), p) >= target;
    }
    const double atBelow = logTail(studentTwoTailed(nu, t * (1.0 - kSolverWindow)), p);
    const double atAbove = logTail(studentTwoTailed(nu, t * (1.0 + kSolverWindow)), p);
    return p > 0.5 ? atBelow <= target && target <= atAbove : atAbove <= target && target <= atBelow;
}

// Beyond any map's degrees of freedom the Student tails are not evaluated.
// There the t lies between the normal quantile z, the limit as nu grows, and
// the critical t for 2^31 - 1 degrees of freedom: the normal tail at t is at
// most p and the tail for 2^31 - 1 at t at least p, each a hair either side.
bool liesBetweenTheNormalAndTheLargestMap(double p, double t) {
    const double target = logTarget(p);
    const double above = t * (1.0 + kSolverWindow);
    const double normalAbove =
        p > 0.5 ? std::log(std::erf(above * std::sqrt(0.5))) : logErfcOfSquareRoot(0.5 * above * above);
    const double largestBelow = logTail(studentTwoTailed(kLargestMapDegreesOfFreedom, t * (1.0 - kSolverWindow)), p);
    return p > 0.5 ? normalAbove >= target && largestBelow <= target : normalAbove <= target && largestBelow >= target;
}

// Whether the search's last evaluation, one halved step back from t, met the
// tolerance. The step taken was 1.5 2^-k after k evaluations; t minus or plus
// it is that point, within the rounding of one addition.
bool searchMetTolerance(double nu, double p, double tolerance, const CriticalTOutcome& outcome) {
    const double step = std::ldexp(1.5, -outcome.searchEvaluations);
    for (double back : {outcome.t - step, outcome.t + step}) {
        for (double candidate : {back, std::nextafter(back, 0.0), std::nextafter(back, 5.0)}) {
            if (std::fabs(halvingSearchP(nu, candidate) - p) <= tolerance) return true;
        }
    }
    return false;
}

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const double nu = degreesOfFreedom(in);
    const double p = targetP(in);
    const double tol = tolerance(in);
    if (!(nu >= 1.0 && std::isfinite(nu)) || !(p > 0.0 && p <= 1.0)) return 0;

    const CriticalTOutcome outcome = criticalTOutcome(nu, p, tol);
    const std::string what = describe(nu, p, tol, outcome);
    KELVANE_FUZZ_CHECK(kTarget, outcome.evaluations <= kMostEvaluations, "ends within its bound: " + what);
    KELVANE_FUZZ_CHECK(kTarget, !std::isnan(outcome.t), "a t value: " + what);
    KELVANE_FUZZ_CHECK(kTarget, criticalT(nu, p, tol) == outcome.t, "criticalT gives the same t: " + what);
    if (nu > kLargestMapDegreesOfFreedom) {
        KELVANE_FUZZ_CHECK(kTarget, outcome.solved || p == 1.0,
                           "no search beyond any map's degrees of freedom: " + what);
        KELVANE_FUZZ_CHECK(kTarget, p == 1.0 ? outcome.t == 0.0 : liesBetweenTheNormalAndTheLargestMap(p, outcome.t),
                           "the true critical t, between the normal's and 2^31 - 1 degrees of freedom's: " + what);
    } else if (outcome.solved || p == 1.0) {
        KELVANE_FUZZ_CHECK(kTarget, isTrueCriticalT(nu, p, outcome.t), "the true critical t: " + what);
    } else {
        KELVANE_FUZZ_CHECK(kTarget, outcome.t > 1.5 && outcome.t < 4.5, "the search stays in its reach: " + what);
        KELVANE_FUZZ_CHECK(kTarget, searchMetTolerance(nu, p, tol, outcome), "the search met the tolerance: " + what);
    }
    return 0;
}
