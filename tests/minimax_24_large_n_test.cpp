// Problem 24 at large n against a frozen copy of the routines as they were before their
// powers came from a table: every value, gradient and Hessian entry must keep its bits.
// The copy forms each t^p by its own square-and-multiply, as the routines once did.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/harness.hpp"

namespace {

using kbtest::minimax_gradient;
using kbtest::minimax_hessian;
using kbtest::minimax_value;

namespace frozen {

double ipow(double t, int p) {
  double result = 1.0;
  double base = t;
  while (p > 0) {
    if ((p & 1) != 0) result *= base;
    p >>= 1;
    if (p > 0) base *= base;
  }
  return result;
}

double node(int k) { return static_cast<double>(std::int64_t{k} - 2) / 29; }

double value(int n, int k, const double* x) {
  if (k == 1) return x[0];
  if (k == 2 && n >= 2) return x[1] - x[0] * x[0] - 1;
  const double t = node(k);
  double a = x[0];
  double b = 0;
  for (int j = 2; j <= n; ++j) {
    a = a + x[j - 1] * ipow(t, j - 1);
    b = b + (static_cast<double>(j - 1) * x[j - 1]) * ipow(t, j - 2);
  }
  return b - a * a - 1;
}

std::vector<double> gradient(int n, int k, const double* x) {
  std::vector<double> g(static_cast<size_t>(n), 0.0);
  if (k == 1 || k == 2) {
    g[0] = k == 1 ? 1.0 : -2 * x[0];
    if (k == 2 && n >= 2) g[1] = 1;
    return g;
  }
  const double t = node(k);
  double a = x[0];
  for (int j = 2; j <= n; ++j) a = a + x[j - 1] * ipow(t, j - 1);
  g[0] = -2 * a;
  for (int j = 2; j <= n; ++j) {
    g[static_cast<size_t>(j - 1)] =
        static_cast<double>(j - 1) * ipow(t, j - 2) - 2 * a * ipow(t, j - 1);
  }
  return g;
}

std::vector<double> hessian(int n, int k) {
  std::vector<double> h(static_cast<size_t>(kbtest::packed_size(n)), 0.0);
  if (k == 1 || k == 2) {
    if (k == 2) h[0] = -2;
    return h;
  }
  const double t = node(k);
  size_t at = 0;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= i; ++j) h[at++] = -2 * ipow(t, i + j - 2);
  }
  return h;
}

}  // namespace frozen

std::uint64_t bits(double v) {
  std::uint64_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Index of the first entry whose bits differ, or -1.
std::int64_t first_difference(const std::vector<double>& got, const std::vector<double>& want) {
  if (got.size() != want.size()) return 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (bits(got[i]) != bits(want[i])) return static_cast<std::int64_t>(i);
  }
  return -1;
}

// A point whose every component matters where t = 1 and whose signs mix, so that a sum
// in another order or a power rounded differently shows.
std::vector<double> point(int n) {
  std::vector<double> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = std::sin(0.7 * i + 0.3) * (1 + i % 5);
  return x;
}

// The nodes 1/29..1, k = 0 and 2 outside 1..m, and nodes beyond 1 whose powers overflow
// to infinity within n = 16000 (k = 33, 40): values NaN or infinite, bits still pinned.
const int kKs[] = {-3, 0, 1, 2, 3, 4, 9, 16, 17, 24, 29, 30, 31, 32, 33, 40};

TEST(Minimax24LargeN, ValuesAndGradientsKeepTheirBits) {
  for (int n : {1, 2, 20, 100, 513, 1000, 1025, 4000, 16000}) {
    const auto x = point(n);
    for (int k : kKs) {
      EXPECT_EQ(bits(minimax_value(24, n, k, x.data())), bits(frozen::value(n, k, x.data())))
          << "n = " << n << ", k = " << k;
      EXPECT_EQ(
          first_difference(minimax_gradient(24, n, k, x.data()), frozen::gradient(n, k, x.data())),
          -1)
          << "n = " << n << ", k = " << k;
    }
  }
}

TEST(Minimax24LargeN, HessiansKeepTheirBits) {
  const std::vector<double> x(4000, 0.5);  // the Hessian reads no x
  for (int n : {1, 2, 3, 20, 100, 1000}) {
    for (int k : kKs) {
      EXPECT_EQ(first_difference(minimax_hessian(24, n, k, x.data()), frozen::hessian(n, k)), -1)
          << "n = " << n << ", k = " << k;
    }
  }
  for (int k : {3, 30, 33}) {
    EXPECT_EQ(first_difference(minimax_hessian(24, 4000, k, x.data()), frozen::hessian(4000, k)),
              -1)
        << "n = 4000, k = " << k;
  }
}

// The compared values are not degenerate: finite and distinct on the nodes, not finite
// beyond them.
TEST(Minimax24LargeN, TheComparedValuesDiffer) {
  const int n = 16000;
  const auto x = point(n);
  EXPECT_TRUE(std::isnan(frozen::value(n, 40, x.data())) ||
              std::isinf(frozen::value(n, 40, x.data())));
  EXPECT_TRUE(std::isfinite(frozen::value(n, 31, x.data())));
  EXPECT_NE(frozen::value(n, 31, x.data()), frozen::value(n, 30, x.data()));
}

}  // namespace
