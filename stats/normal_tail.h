#pragma once

namespace kelvane {

// ln erfc(√u) for u >= 0, to a few units in the last place of erfc and on
// past the point where erfc itself underflows: from u = 200 on, from the
// asymptotic series of e^u √(πu) erfc(√u).
double logErfcOfSquareRoot(double u);

// A first guess at the z whose two-tailed normal p, erfc(z/√2), is p (0 < p
// < 1), good to about 2e-9 relative: a rational approximation in p - 1/2 for
// the middle and in √(-2 ln(p/2)) for the tail, so that p down to the
// smallest subnormal is served.
double approximateNormalCriticalZ(double p);

// The z whose two-tailed normal p is p (0 < p < 1), to a few units in the
// last place: the guess above, then steps of the log-scale solver on ln erfc
// (or, for p above 1/2, on ln erf, which keeps z's digits as p nears 1).
// evaluations counts the normal tails evaluated on the way.
double normalCriticalZ(double p, int& evaluations);

}  // namespace kelvane
