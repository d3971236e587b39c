// The maximum of three pieces and the choice of its active piece, shared by problems 3
// to 6 so that value, gradient and Hessian agree on one rule.
#pragma once

#include "core/rules.hpp"

namespace kinkbench::nonsmooth {

// max(f1, f2, f3), passing over NaN pieces: NaN only when all three are NaN.
inline double max_of_three(double f1, double f2, double f3) {
  double m = f1;
  if (detail::replaces_max(f2, m)) m = f2;
  if (detail::replaces_max(f3, m)) m = f3;
  return m;
}

// 1, 2 or 3: the lowest-numbered piece attaining the maximum. Every comparison with a
// NaN fails, so a NaN among the pieces selects piece 3; that is the stated rule, kept.
inline int active_of_three(double f1, double f2, double f3) {
  if (f1 >= f2 && f1 >= f3) return 1;
  if (f1 <= f2 && f2 >= f3) return 2;
  return 3;
}

}  // namespace kinkbench::nonsmooth
