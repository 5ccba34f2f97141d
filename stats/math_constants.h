#pragma once
// Constants the statistics routines share, as the doubles nearest to them.

namespace kelvane {

inline constexpr double kLnTwo = 0.6931471805599453;
inline constexpr double kLnSqrtPi = 0.5723649429247001;  // ln Γ(1/2)

}  // namespace kelvane
