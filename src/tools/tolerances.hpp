// How closely each problem's derivatives must match central differences, and with which
// step. The defaults hold wherever the value is computed in double precision.
#pragma once

#include "check/derivative_check.hpp"

namespace kinkbench::tools {

struct Tolerance {
  double gradient;
  double hessian;
  double gradient_step = check::kDefaultStep;
  double hessian_step = check::kDefaultStep;
};

inline Tolerance tolerance(bool minimax, int number) {
  // Minimax problem 17 rounds three factors per section to single precision, so its
  // value and gradient are staircases with steps near 1e-8 and 1e-7: short differences
  // measure the stairs, long ones the slope.
  if (minimax && number == 17) return {1e-3, 3e-3, 1e-3, 3e-4};
  return {1e-5, 1e-5};
}

}  // namespace kinkbench::tools
