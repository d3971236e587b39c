// Integer powers for the polynomial problems. One helper, so that a problem's value,
// gradient and Hessian round every power the same way.
#pragma once

namespace kinkbench::minimax::detail {

// t^p for p >= 0 by square-and-multiply from the lowest bit (t^0 = 1, t^1 = t,
// t^2 = t*t, t^4 = (t*t)*(t*t)); never calls the real power, whose rounding differs.
// p < 0 gives 1: no caller needs a negative exponent.
constexpr double ipow(double t, int p) {
  double result = 1.0;
  double base = t;
  while (p > 0) {
    if ((p & 1) != 0) result *= base;
    p >>= 1;
    if (p > 0) base *= base;
  }
  return result;
}

}  // namespace kinkbench::minimax::detail
