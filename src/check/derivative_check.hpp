// Central-difference checks of analytic derivatives, shared by the test suite and the
// `kinkbench check` command.
#pragma once

#include <functional>
#include <vector>

namespace kinkbench::check {

using Scalar = std::function<double(const double* x)>;
using Vector = std::function<void(const double* x, double* out)>;

struct Mismatch {
  double error = 0;  // largest |analytic - difference| / max(1, |analytic|, |difference|)
  int index = -1;    // where it occurred (gradient component or packed position, 0-based)
};

// Step of the differences, relative to max(1, |x(i)|): balances truncation against
// rounding when the value is computed in double precision throughout.
inline constexpr double kDefaultStep = 6.0555e-6;

// Compares the gradient g with central differences of f at x.
Mismatch gradient_error(int n, const Scalar& f, const Vector& g, const double* x,
                        double step = kDefaultStep);

// Compares the packed Hessian h (n(n+1)/2 entries) with central differences of g at x.
Mismatch hessian_error(int n, const Vector& g, const Vector& h, const double* x,
                       double step = kDefaultStep);

// A reproducible point near x0: each component moves by up to `spread` times
// max(1, |x0(i)|).
std::vector<double> nearby_point(const std::vector<double>& x0, unsigned seed,
                                 double spread = 0.05);

}  // namespace kinkbench::check
