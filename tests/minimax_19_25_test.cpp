// Minimax problems 19 to 25 through the C routines: set-ups, values at known points,
// the rows chosen for unlisted k, the output ranges each routine writes, clears or
// leaves alone, and the derivatives against central differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

#include "minimax/integer_power.hpp"
#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;
using kbtest::minimax_gradient;
using kbtest::minimax_hessian;
using kbtest::minimax_value;
using kbtest::packed_at;
using kbtest::setup_minimax;

struct Row {
  int iprob;
  int min_n;
  int m;
  int itype;
  double stepmax;
  int x_written;  // leading x components the set-up writes; 0 = all n
  int g_written;  // leading gradient components written; 0 = all n
  int h_rows;     // Hessian rows that may be non-zero after clearing; 0 = dense, no clear
};

constexpr Row kRows[] = {
    {19, 7, 5, -1, 1000, 7, 7, 7},      {20, 10, 9, -1, 1000, 10, 10, 10},
    {21, 20, 18, -1, 1000, 20, 20, 20}, {22, 10, 2, -1, 1000, 0, 0, 0},
    {23, 11, 10, -1, 1000, 0, 0, -1},  // -1: cleared, diagonal only
    {24, 20, 31, 0, 1000, 0, 0, 0},     {25, 11, 65, 0, 10, 11, 11, 11},
};

std::vector<double> start(int iprob, int n) { return setup_minimax(iprob, n).x; }

// --- Set-up ---------------------------------------------------------------------------

TEST(Minimax19to25Setup, RowsAndWrittenComponentsForMinimumAndLargerN) {
  for (const Row& r : kRows) {
    for (const int n : {r.min_n, r.min_n + 3}) {
      SCOPED_TRACE(testing::Message() << "problem " << r.iprob << " n " << n);
      const auto s = setup_minimax(r.iprob, n, r.m);
      EXPECT_EQ(s.ierr, 0);
      EXPECT_EQ(s.m, r.m);
      EXPECT_EQ(s.itype, r.itype);
      EXPECT_EQ(s.stepmax, r.stepmax);
      EXPECT_EQ(s.fmin, -1e60);
      const int written = r.x_written == 0 ? n : r.x_written;
      for (int i = 0; i < n; ++i) {
        if (i < written) {
          EXPECT_NE(s.x[static_cast<size_t>(i)], kSentinel) << "x(" << i + 1 << ")";
        } else {
          EXPECT_EQ(s.x[static_cast<size_t>(i)], kSentinel) << "x(" << i + 1 << ")";
        }
      }
    }
  }
}

TEST(Minimax19to25Setup, TooSmallNOrCapacityChangesNothing) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(testing::Message() << "problem " << r.iprob);
    for (const auto& s :
         {setup_minimax(r.iprob, r.min_n - 1, r.m), setup_minimax(r.iprob, r.min_n, r.m - 1)}) {
      EXPECT_EQ(s.ierr, 1);
      EXPECT_EQ(s.stepmax, 1000);
      EXPECT_EQ(s.itype, -1);
      EXPECT_TRUE(std::all_of(s.x.begin(), s.x.end(), [](double v) { return v == kSentinel; }));
    }
  }
}

TEST(Minimax19to25Setup, StartingPointsAsListed) {
  EXPECT_EQ(start(19, 7), (std::vector<double>{1, 2, 0, 4, 0, 1, 1}));
  EXPECT_EQ(start(20, 10), (std::vector<double>{2, 3, 5, 5, 1, 2, 7, 3, 6, 10}));
  EXPECT_EQ(start(21, 20),
            (std::vector<double>{2, 3, 5, 5, 1, 2, 7, 3, 6, 10, 2, 2, 6, 15, 1, 2, 1, 2, 1, 3}));
  EXPECT_EQ(start(22, 12), (std::vector<double>{100, .1, .1, .1, .1, .1, .1, .1, .1, .1, .1, .1}));
  EXPECT_EQ(start(23, 12), std::vector<double>(12, 1.0));
  EXPECT_EQ(start(24, 21), std::vector<double>(21, 0.0));
  EXPECT_EQ(start(25, 11), (std::vector<double>{1.3, 0.65, 0.65, 0.7, 0.6, 3, 5, 7, 2, 4.5, 5.5}));
}

TEST(Minimax19to25Setup, Problem25StoresExactly65ValuesAndARejectionKeepsThem) {
  std::fill(empr06, empr06 + 123, kSentinel);
  ASSERT_EQ(setup_minimax(25, 11, 65).ierr, 0);
  EXPECT_EQ(empr06[0], 1.366);
  EXPECT_EQ(empr06[30], 0.5);
  EXPECT_EQ(empr06[64], 0.054);
  EXPECT_EQ(empr06[65], kSentinel);
  double sum = 0;
  for (int i = 0; i < 65; ++i) sum += empr06[i];
  EXPECT_NEAR(sum, 40.337, 1e-12);
  const std::vector<double> before(empr06, empr06 + 123);
  EXPECT_EQ(setup_minimax(25, 11, 64).ierr, 1);
  EXPECT_EQ(std::vector<double>(empr06, empr06 + 123), before);
}

// --- Values ---------------------------------------------------------------------------

// Every partial function at the starting point; the expected values are integers,
// worked out by hand from the formulas, so the comparison is exact.
TEST(Minimax19to25Values, EveryPartialFunctionAtTheStartOfProblems19To21) {
  const std::vector<std::pair<int, std::vector<double>>> cases = {
      {19, {714, 584, -1936, -996, 674}},
      {20, {753, -297, 703, 663, 713, -7, -417, 653, 633}},
      {21,
       {901, -149, 851, 811, 861, 141, -269, 801, 781, 611, 801, 831, -1119, -689, 601, 551, 691,
        741}},
  };
  for (const auto& [iprob, expected] : cases) {
    const auto s = setup_minimax(iprob, kRows[iprob - 19].min_n);
    for (size_t k = 1; k <= expected.size(); ++k) {
      EXPECT_EQ(minimax_value(iprob, static_cast<int>(s.x.size()), static_cast<int>(k), s.x.data()),
                expected[k - 1])
          << "problem " << iprob << " k " << k;
    }
  }
}

// Problems 19 and 20 fall back to g_2 and problem 21 to g_10, in all three routines.
TEST(Minimax19to25Values, UnlistedKTakesTheFallbackRowEverywhere) {
  for (const auto& [iprob, fallback] : {std::pair{19, 2}, {20, 2}, {21, 10}}) {
    const Row& r = kRows[iprob - 19];
    const auto x = kinkbench::check::nearby_point(start(iprob, r.min_n), 5u);
    const int n = r.min_n;
    const double f = minimax_value(iprob, n, fallback, x.data());
    EXPECT_NE(f, minimax_value(iprob, n, 1, x.data()));
    for (const int k : {0, r.m + 1, -1, INT_MAX, INT_MIN}) {
      SCOPED_TRACE(testing::Message() << "problem " << iprob << " k " << k);
      EXPECT_EQ(minimax_value(iprob, n, k, x.data()), f);
      EXPECT_EQ(minimax_gradient(iprob, n, k, x.data()),
                minimax_gradient(iprob, n, fallback, x.data()));
      EXPECT_EQ(minimax_hessian(iprob, n, k, x.data()),
                minimax_hessian(iprob, n, fallback, x.data()));
    }
  }
}

// The expected sums are formed in another order, so they may differ in the last bits.
void expect_relative(double actual, double expected) {
  EXPECT_NEAR(actual, expected, 1e-14 * std::fabs(expected));
}

TEST(Minimax19to25Values, Problem22ShiftsX2ByKAndAddsComponentsBeyondTen) {
  const auto x10 = start(22, 10);
  expect_relative(minimax_value(22, 10, 1, x10.data()), std::exp(1e-4 + 2.1 * 2.1 + 0.11));
  expect_relative(minimax_value(22, 10, 2, x10.data()), std::exp(1e-4 + 1.9 * 1.9 + 0.11));
  expect_relative(minimax_value(22, 10, 3, x10.data()), std::exp(1e-4 + 0.12));
  for (const int k : {0, -2, INT_MAX}) {
    EXPECT_EQ(minimax_value(22, 10, k, x10.data()), minimax_value(22, 10, 3, x10.data()));
  }
  const auto x11 = start(22, 11);
  const auto x12 = start(22, 12);
  expect_relative(minimax_value(22, 11, 1, x11.data()), std::exp(1e-4 + 2.1 * 2.1 + 0.12));
  expect_relative(minimax_value(22, 12, 2, x12.data()), std::exp(1e-4 + 1.9 * 1.9 + 0.13));
  // The unshifted x(2) also drives the gradient.
  const double f3 = minimax_value(22, 10, 3, x10.data());
  expect_relative(minimax_gradient(22, 10, 3, x10.data())[1], 2 * 0.1 * f3);
}

TEST(Minimax19to25Values, EmptySumsForNBelowOne) {
  const double x[1] = {3};
  EXPECT_EQ(minimax_value(22, 0, 1, x), 1.0);
  EXPECT_EQ(minimax_value(23, 0, 1, x), 0.0);
  double g[1] = {kSentinel};
  int n = 0, k = 1, iprob = 23;
  tagu06(&n, &k, x, g, &iprob);
  EXPECT_EQ(g[0], kSentinel);
}

TEST(Minimax19to25Values, Problem23AtTheStartAndWithExtremeK) {
  const auto x = start(23, 11);
  EXPECT_NEAR(minimax_value(23, 11, 1, x.data()), 516.1941593759664, 1e-11);
  EXPECT_NEAR(minimax_value(23, 11, 5, x.data()), 1272.9897750180357, 1e-11);
  EXPECT_NEAR(minimax_value(23, 11, 10, x.data()), 2265.5939228298803, 1e-11);
  // k + 2i - 3 must not wrap: at x(i) = sin(k + 2i - 3) every exponential is exactly 1,
  // so f is the exact sum of the weights and the gradient vanishes.
  std::vector<double> at(11);
  for (int i = 1; i <= 11; ++i) at[static_cast<size_t>(i - 1)] = std::sin(INT_MAX + 2.0 * i - 3);
  EXPECT_EQ(minimax_value(23, 11, INT_MAX, at.data()), 11.0 * INT_MAX + 55);
  EXPECT_EQ(minimax_gradient(23, 11, INT_MAX, at.data()), std::vector<double>(11, 0.0));
}

TEST(Minimax19to25Values, Problem24DirectFormsAndNodes) {
  const auto x0 = start(24, 20);
  EXPECT_EQ(minimax_value(24, 20, 1, x0.data()), 0.0);
  for (int k = 2; k <= 31; ++k) EXPECT_EQ(minimax_value(24, 20, k, x0.data()), -1.0) << k;
  // t = 1 at k = 31: a = sum x(j), b = sum (j - 1) x(j), exact for x(j) = j.
  std::vector<double> x(20);
  for (int j = 1; j <= 20; ++j) x[static_cast<size_t>(j - 1)] = j;
  EXPECT_EQ(minimax_value(24, 20, 31, x.data()), 2660.0 - 210.0 * 210.0 - 1);
  for (int j = 1; j <= 20; ++j) x[static_cast<size_t>(j - 1)] = 0.1 * j;
  EXPECT_NEAR(minimax_value(24, 20, 0, x.data()), -0.8439245128156263, 1e-14);
  EXPECT_NEAR(minimax_value(24, 20, 17, x.data()), 0.5931686424134623, 1e-14);
  // k = 1 and 2 never touch x(3..n): the general form at t = 0 would give 0 * inf.
  x[2] = INFINITY;
  EXPECT_EQ(minimax_value(24, 20, 2, x.data()), 0.2 - 0.1 * 0.1 - 1);
  for (const int k : {1, 2}) {
    const auto g = minimax_gradient(24, 20, k, x.data());
    EXPECT_EQ(g[0], k == 1 ? 1.0 : -0.2);
    EXPECT_EQ(g[1], k == 1 ? 0.0 : 1.0);
    EXPECT_TRUE(std::all_of(g.begin() + 2, g.end(), [](double v) { return v == 0.0; }));
  }
  // k - 2 must not wrap at the extremes; at x = 0 every node gives -1.
  EXPECT_EQ(minimax_value(24, 20, INT_MIN, x0.data()), -1.0);
}

// Below n = 2 the arrays end before x(2), and at n = 0 before x(1) and g(1): k = 2 then
// takes -x(1)^2 - 1, as its gradient and Hessian already do, and n < 1 writes nothing.
// The elements past the caller's n are NaN, so any read of them shows.
TEST(Minimax19to25Values, Problem24StaysWithinASmallN) {
  const double x[3] = {3, NAN, NAN};
  for (const int k : {1, 2, 3}) {
    SCOPED_TRACE(testing::Message() << "k " << k);
    EXPECT_EQ(minimax_value(24, 1, k, x), k == 1 ? 3.0 : -10.0);
    EXPECT_EQ(minimax_gradient(24, 1, k, x), std::vector<double>{k == 1 ? 1.0 : -6.0});
    EXPECT_EQ(minimax_value(24, 0, k, x + 1), kSentinel);
    double g[1] = {kSentinel};
    int n = 0, kk = k, iprob = 24;
    tagu06(&n, &kk, x + 1, g, &iprob);
    EXPECT_EQ(g[0], kSentinel);
  }
}

// Orders the formulas fix, at points where the obvious alternative rounds differently:
// problem 22 adds (u(i)^2) w(i) for i = 1..n, problem 24 sums in increasing j, and
// problem 25 subtracts its four terms from y_k one after another.
TEST(Minimax19to25Values, StatedOrdersHoldBitForBit) {
  using kinkbench::minimax::detail::ipow;
  const std::vector<double> x22 = {4262, 0.51, -0.29, -0.55, 2.33, 0.97, 2.16, 2.74, -1.39, 2.65};
  double stated = 0, weight_first = 0, reversed = 0;
  for (int i = 1; i <= 10; ++i) {
    const double u = x22[static_cast<size_t>(i - 1)];
    const double w = i == 1 ? 1e-8 : (i == 4 ? 4.0 : 1.0);
    const double v = x22[static_cast<size_t>(10 - i)];
    const double wv = i == 10 ? 1e-8 : (i == 7 ? 4.0 : 1.0);
    stated = stated + u * u * w;
    weight_first = weight_first + w * u * u;
    reversed = reversed + v * v * wv;
  }
  ASSERT_NE(std::exp(stated), std::exp(weight_first));
  ASSERT_NE(std::exp(stated), std::exp(reversed));
  EXPECT_EQ(minimax_value(22, 10, 3, x22.data()), std::exp(stated));

  std::vector<double> x24(20);
  for (int j = 1; j <= 20; ++j) x24[static_cast<size_t>(j - 1)] = 0.1 * j;
  const double t = 3.0 / 29;  // k = 5
  double a = x24[0], b = 0, a_down = x24[0], b_down = 0;
  for (int j = 2; j <= 20; ++j) {
    const int jd = 22 - j;
    a = a + x24[static_cast<size_t>(j - 1)] * ipow(t, j - 1);
    b = b + ((j - 1) * x24[static_cast<size_t>(j - 1)]) * ipow(t, j - 2);
    a_down = a_down + x24[static_cast<size_t>(jd - 1)] * ipow(t, jd - 1);
    b_down = b_down + ((jd - 1) * x24[static_cast<size_t>(jd - 1)]) * ipow(t, jd - 2);
  }
  ASSERT_NE(b - a * a - 1, b_down - a_down * a_down - 1);
  EXPECT_EQ(minimax_value(24, 20, 5, x24.data()), b - a * a - 1);

  const auto x25 = start(25, 11);  // k = 1, t = 0
  double terms[4] = {x25[0]};
  for (int g = 0; g < 3; ++g) {
    const double d = -x25[static_cast<size_t>(8 + g)];
    terms[g + 1] =
        x25[static_cast<size_t>(1 + g)] * std::exp(-x25[static_cast<size_t>(5 + g)] * (d * d));
  }
  const double in_turn = 1.366 - terms[0] - terms[1] - terms[2] - terms[3];
  ASSERT_NE(in_turn, 1.366 - (terms[0] + terms[1] + terms[2] + terms[3]));
  EXPECT_EQ(minimax_value(25, 11, 1, x25.data()), in_turn);
}

TEST(Minimax19to25Values, Problem25AtTheStart) {
  const auto x = start(25, 11);
  EXPECT_NEAR(minimax_value(25, 11, 1, x.data()), 0.0659960062619704, 1e-15);
  int smallest = 0;
  double best = INFINITY;
  for (int k = 1; k <= 65; ++k) {
    const double f = std::fabs(minimax_value(25, 11, k, x.data()));
    if (f < best) best = f, smallest = k;
  }
  EXPECT_EQ(smallest, 11);
  EXPECT_NEAR(minimax_value(25, 11, 11, x.data()), 1.8327863865408994e-4, 1e-15);
}

// k without a stored value reads no data and writes nothing.
TEST(Minimax19to25Values, Problem25OutsideItsPointsLeavesEveryOutputAlone) {
  const auto x = start(25, 13);
  for (const int k : {0, -1, 66, INT_MIN, INT_MAX}) {
    EXPECT_EQ(minimax_value(25, 13, k, x.data()), kSentinel) << k;
    EXPECT_EQ(minimax_gradient(25, 13, k, x.data()), std::vector<double>(13, kSentinel)) << k;
    EXPECT_EQ(minimax_hessian(25, 13, k, x.data()), std::vector<double>(91, kSentinel)) << k;
  }
}

TEST(Minimax19to25Values, IntegerPowerIsSquareAndMultiply) {
  using kinkbench::minimax::detail::ipow;
  const double t = 1.0 / 3;
  EXPECT_EQ(ipow(t, 0), 1.0);
  EXPECT_EQ(ipow(t, 1), t);
  EXPECT_EQ(ipow(t, 4), (t * t) * (t * t));
  EXPECT_EQ(ipow(t, 5), t * ((t * t) * (t * t)));
  EXPECT_EQ(ipow(-2, 9), -512.0);
  EXPECT_EQ(ipow(1e200, 1), 1e200);  // no spurious overflow from an unused square
}

// --- Derivatives at given points ------------------------------------------------------

TEST(Minimax19to25Derivatives, Problem19And20AtTheStart) {
  const auto x19 = start(19, 7);
  EXPECT_EQ(minimax_gradient(19, 7, 1, x19.data()),
            (std::vector<double>{-18, -100, 0, -42, 0, 0, -8}));
  auto h = minimax_hessian(19, 7, 1, x19.data());
  const double diag[7] = {2, 10, 0, 6, 0, 14, 12};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(packed_at(h, i, i), diag[i - 1]) << i;
  EXPECT_EQ(packed_at(h, 7, 6), -4);
  h = minimax_hessian(19, 7, 5, x19.data());
  EXPECT_EQ(packed_at(h, 1, 1), 82);
  EXPECT_EQ(packed_at(h, 2, 1), -30);

  const auto x20 = start(20, 10);
  EXPECT_EQ(minimax_gradient(20, 10, 1, x20.data()),
            (std::vector<double>{-7, -8, -10, 0, -4, 4, 70, -112, -16, 6}));
  h = minimax_hessian(20, 10, 5, x20.data());
  EXPECT_EQ(packed_at(h, 1, 1), 22);
  EXPECT_EQ(packed_at(h, 2, 1), -19);
  EXPECT_EQ(packed_at(h, 2, 2), 42);
}

TEST(Minimax19to25Derivatives, Problem21FallbackHessianIsThatOfF) {
  const auto x = start(21, 20);
  const auto g = minimax_gradient(21, 20, 10, x.data());
  EXPECT_EQ(g[0], 3);
  EXPECT_EQ(g[1], 2);
  EXPECT_EQ(g[10], 26);
  EXPECT_EQ(g[11], -190);
  const auto near = kinkbench::check::nearby_point(x, 9u);
  const auto hf = minimax_hessian(21, 20, 1, near.data());
  for (const int k : {10, 0, 19, -7, INT_MIN}) {
    EXPECT_EQ(minimax_hessian(21, 20, k, near.data()), hf) << k;
  }
}

TEST(Minimax19to25Derivatives, Problems23And24AtTheStart) {
  const auto x23 = start(23, 11);
  EXPECT_EQ(minimax_gradient(23, 11, 1, x23.data())[0], 2 * std::exp(1.0));
  EXPECT_EQ(minimax_hessian(23, 11, 1, x23.data())[0], 6 * std::exp(1.0));

  const auto x24 = start(24, 20);
  const auto g = minimax_gradient(24, 20, 3, x24.data());
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[1], 1);
  EXPECT_EQ(g[2], 2.0 / 29);
  auto h = minimax_hessian(24, 20, 3, x24.data());
  EXPECT_EQ(packed_at(h, 1, 1), -2);
  EXPECT_EQ(packed_at(h, 2, 1), -2.0 / 29);
  h = minimax_hessian(24, 20, 1, x24.data());
  EXPECT_EQ(h, std::vector<double>(210, 0.0));
  h = minimax_hessian(24, 20, 2, x24.data());
  EXPECT_EQ(h[0], -2);
  EXPECT_TRUE(std::all_of(h.begin() + 1, h.end(), [](double v) { return v == 0.0; }));
}

// --- Written, cleared and untouched output ranges -------------------------------------

TEST(Minimax19to25Ranges, GradientAndHessianWriteExactlyTheirRanges) {
  for (const Row& r : kRows) {
    for (const int n : {r.min_n, r.min_n + 3}) {
      const auto x = kinkbench::check::nearby_point(start(r.iprob, n), 3u);
      for (const int k : {1, 2, r.m}) {
        SCOPED_TRACE(testing::Message() << "problem " << r.iprob << " n " << n << " k " << k);
        const auto g = minimax_gradient(r.iprob, n, k, x.data());
        const int written = r.g_written == 0 ? n : r.g_written;
        for (int i = 1; i <= n; ++i) {
          const double gi = g[static_cast<size_t>(i - 1)];
          if (i <= written) {
            EXPECT_NE(gi, kSentinel) << "g(" << i << ")";
          } else {
            EXPECT_EQ(gi, kSentinel) << "g(" << i << ")";
          }
        }
        const auto h = minimax_hessian(r.iprob, n, k, x.data());
        for (int i = 1; i <= n; ++i) {
          for (int j = 1; j <= i; ++j) {
            const double hij = packed_at(h, i, j);
            EXPECT_NE(hij, kSentinel) << "H(" << i << "," << j << ")";
            const bool may_be_nonzero = r.h_rows == 0 || (r.h_rows < 0 ? i == j : i <= r.h_rows);
            if (!may_be_nonzero) {
              EXPECT_EQ(hij, 0.0) << "H(" << i << "," << j << ")";
            }
          }
        }
      }
    }
  }
}

// --- Derivatives against central differences ------------------------------------------

// The checker's error is |analytic - difference| / max(1, |analytic|, |difference|), so
// the exponential problems (f near e^4.4 for problem 22, terms up to about e^4 times 20
// for problem 23) are judged relatively. Step 6e-6 max(1, |x(i)|): truncation and
// rounding together stay well below the bound for every problem here.
constexpr double kGradientTolerance = 1e-6;
constexpr double kHessianTolerance = 1e-6;

TEST(Minimax19to25Derivatives, MatchCentralDifferencesForEveryKNearTheStart) {
  for (const Row& r : kRows) {
    double worst_g = 0;
    double worst_h = 0;
    // Problems 22 to 24 use every component, so a larger n is checked too.
    std::vector<int> dims = {r.min_n};
    if (r.x_written == 0) dims.push_back(r.min_n + 3);
    // Problems 19 to 24 define every k; include two unlisted ones.
    const int k_lo = r.iprob == 25 ? 1 : 0;
    const int k_hi = r.iprob == 25 ? r.m : r.m + 1;
    for (const int n : dims) {
      const auto x0 = start(r.iprob, n);
      for (int k = k_lo; k <= k_hi; ++k) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
          const auto x = kinkbench::check::nearby_point(
              x0, 1000u * static_cast<unsigned>(r.iprob) + 10u * static_cast<unsigned>(k) + seed);
          const auto eg = kbtest::minimax_gradient_error(r.iprob, n, k, x.data());
          const auto eh = kbtest::minimax_hessian_error(r.iprob, n, k, x.data());
          EXPECT_LT(eg.error, kGradientTolerance)
              << "problem " << r.iprob << " n " << n << " k " << k << " seed " << seed
              << " component " << eg.index;
          EXPECT_LT(eh.error, kHessianTolerance)
              << "problem " << r.iprob << " n " << n << " k " << k << " seed " << seed
              << " position " << eh.index;
          worst_g = std::max(worst_g, eg.error);
          worst_h = std::max(worst_h, eh.error);
        }
      }
    }
    std::printf("problem %d: worst gradient error %.3g, worst Hessian error %.3g\n", r.iprob,
                worst_g, worst_h);
  }
}

}  // namespace
