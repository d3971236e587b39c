#include "check/derivative_check.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace kinkbench::check {
namespace {

double step_for(double xi, double step) { return step * std::max(1.0, std::fabs(xi)); }

void record(Mismatch& worst, double analytic, double difference, int index) {
  const double scale = std::max({1.0, std::fabs(analytic), std::fabs(difference)});
  const double error = std::fabs(analytic - difference) / scale;
  if (std::isnan(worst.error)) return;  // a NaN already stands as the worst mismatch
  // A NaN on either side is a mismatch, not something to pass over.
  if (std::isnan(error) || worst.index < 0 || error > worst.error) {
    worst.error = error;
    worst.index = index;
  }
}

}  // namespace

Mismatch gradient_error(int n, const Scalar& f, const Vector& g, const double* x, double step) {
  std::vector<double> analytic(static_cast<size_t>(n), 0.0);
  g(x, analytic.data());
  std::vector<double> p(x, x + n);
  Mismatch worst;
  for (int i = 0; i < n; ++i) {
    const double h = step_for(x[i], step);
    p[static_cast<size_t>(i)] = x[i] + h;
    const double up = f(p.data());
    p[static_cast<size_t>(i)] = x[i] - h;
    const double down = f(p.data());
    p[static_cast<size_t>(i)] = x[i];
    record(worst, analytic[static_cast<size_t>(i)], (up - down) / (2 * h), i);
  }
  return worst;
}

Mismatch hessian_error(int n, const Vector& g, const Vector& h, const double* x, double step) {
  const auto un = static_cast<size_t>(n);
  std::vector<double> analytic(un * (un + 1) / 2, 0.0);
  h(x, analytic.data());
  std::vector<double> p(x, x + n);
  std::vector<double> up(un);
  std::vector<double> down(un);
  Mismatch worst;
  for (size_t j = 0; j < un; ++j) {
    const double hj = step_for(x[j], step);
    std::fill(up.begin(), up.end(), 0.0);
    std::fill(down.begin(), down.end(), 0.0);
    p[j] = x[j] + hj;
    g(p.data(), up.data());
    p[j] = x[j] - hj;
    g(p.data(), down.data());
    p[j] = x[j];
    for (size_t i = j; i < un; ++i) {
      const size_t pos = i * (i + 1) / 2 + j;
      record(worst, analytic[pos], (up[i] - down[i]) / (2 * hj), static_cast<int>(pos));
    }
  }
  return worst;
}

std::vector<double> nearby_point(const std::vector<double>& x0, unsigned seed, double spread) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<double> x(x0);
  for (double& xi : x) xi += spread * unit(rng) * std::max(1.0, std::fabs(xi));
  return x;
}

}  // namespace kinkbench::check
