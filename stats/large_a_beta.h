#pragma once

namespace kelvane {

// ln I_x(a, 1/2) for large a and x near 1, from the expansion of the
// incomplete beta function in incomplete gamma functions (DiDonato and
// Morris, 1992): with T = a - 1/4 and u = -T ln x,
//   I_x(a, 1/2) = Γ(a + 1/2) / (Γ(a) √T) · (Q(1/2, u) + H Σ p_n J_n),
// Q(1/2, u) = erfc(√u), H = e^-u √u / √π, in powers of (ln x / 2)^2 and
// 1/T^2. Where the continued fraction loses digits to x near 1 (a in the
// thousands and more), this keeps them: to about 1e-15 relative in the
// logarithm for a >= 500 and -1 <= ln x < 0, in a dozen terms or fewer.
// logBeta is ln B(a, 1/2); terms receives the number of terms summed.
double logIncompleteBetaHalfLargeA(double a, double logX, double logBeta, int& terms);

}  // namespace kelvane
