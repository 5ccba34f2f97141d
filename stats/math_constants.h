#pragma once
// Constants the statistics routines share, as the doubles nearest to them.

namespace kelvane {

inline constexpr double LN_TWO = 0.6931471805599453;
inline constexpr double LN_SQRT_PI = 0.5723649429247001;  // ln Γ(1/2)

}  // namespace kelvane
