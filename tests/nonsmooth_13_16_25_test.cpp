// Nonsmooth problems 13 to 16 and 25: the stored and generated data, the values at the
// starting points, the piece choice at ties, kinks and NaN, and the derivatives against
// central differences. Reference values are computed here from the problems' definitions,
// not from the library's code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace {

using kbtest::nonsmooth_gradient;
using kbtest::nonsmooth_hessian;
using kbtest::nonsmooth_value;
using kbtest::packed_at;
using kbtest::setup_nonsmooth;
using Vec = std::vector<double>;

// The cubic program's data, written by rows.
constexpr double kA[10][5] = {{-16, 2, 0, 1, 0},    {0, -2, 0, 4, 2},     {-3.5, 0, 2, 0, 0},
                              {0, -2, 0, -4, -1},   {0, -9, -2, 1, -2.8}, {2, 0, -4, 0, 0},
                              {-1, -1, -1, -1, -1}, {-1, -2, -3, -2, -1}, {1, 2, 3, 4, 5},
                              {1, 1, 1, 1, 1}};
constexpr double kB[10] = {-40, -2, -0.25, -4, -4, -1, -40, -60, 5, 1};
constexpr double kC[5][5] = {{30, -20, -10, 32, -10},
                             {-20, 39, -6, -31, 32},
                             {-10, -6, 10, -6, -10},
                             {32, -31, -6, 39, -20},
                             {-10, 32, -10, -20, 30}};
constexpr double kD[5] = {4, 8, 10, 6, 2};
constexpr double kE[5] = {-15, -27, -36, -18, -12};

size_t at(int i) { return static_cast<size_t>(i); }

// 1-based element of the data area.
double area(int k) { return empr19[k - 1]; }

double residual13(const Vec& x, int i) {
  double s = 0;
  for (int j = 0; j < 5; ++j) s += kA[i][j] * x[at(j)];
  return kB[i] - s;
}

// 1-based row of the first residual attaining max(0, r(1..10)); 0 when no residual is
// positive.
int penalty_row13(const Vec& x) {
  int row = 0;
  double best = 0;
  for (int i = 0; i < 10; ++i) {
    const double r = residual13(x, i);
    if (r > best) {
      best = r;
      row = i + 1;
    }
  }
  return row;
}

// Gradient of problem 13's cubic program without the penalty.
Vec smooth_gradient13(const Vec& x) {
  Vec g(5);
  for (int j = 0; j < 5; ++j) {
    double cx = 0;
    for (int i = 0; i < 5; ++i) cx += kC[i][j] * x[at(i)];
    g[at(j)] = 2 * cx + 3 * kD[j] * x[at(j)] * x[at(j)] + kE[j];
  }
  return g;
}

double constraint25(const Vec& x, int j) {
  double s = 0;
  for (int i = 0; i < 10; ++i) s += kA[i][j] * x[at(5 + i)];
  double cx = 0;
  for (int k = 0; k < 5; ++k) cx += kC[k][j] * x[at(k)];
  return s - 2 * cx - 3 * kD[j] * x[at(j)] * x[at(j)] - kE[j];
}

long double target15(long double t) {
  return 0.5L * std::exp(-t) - std::exp(-2 * t) + 0.5L * std::exp(-3 * t) +
         1.5L * std::exp(-1.5L * t) * std::sin(7 * t) + std::exp(-2.5L * t) * std::sin(5 * t);
}

long double residual15(const Vec& x, int i) {
  const long double t = i / 10.0L;
  const long double model =
      x[0] * std::exp(-x[1] * t) * std::cos(x[2] * t + x[3]) + x[4] * std::exp(-x[5] * t);
  return model - target15(t);
}

// Problem 16's block k as the set-up is meant to generate it, in long double.
struct Quadratic {
  long double a[11][11];
  long double b[11];
};

Quadratic generated16(int k) {
  Quadratic q{};
  const long double sk = std::sin(static_cast<long double>(k));
  for (int i = 1; i <= 10; ++i) {
    for (int j = i; j <= 10; ++j) {
      q.a[i][j] = q.a[j][i] =
          std::exp(static_cast<long double>(i) / j) * std::cos(i * j * 1.0L) * sk;
    }
    q.b[i] = std::exp(static_cast<long double>(i) / k) * std::sin(i * k * 1.0L);
  }
  for (int i = 1; i <= 10; ++i) {
    long double diagonal = i * std::fabs(sk) / 10;
    for (int j = 1; j <= 10; ++j) {
      if (j != i) diagonal += std::fabs(q.a[j][i]);
    }
    q.a[i][i] = diagonal;
  }
  return q;
}

// f_k of problem 16 from the data area the set-up wrote (n = 10), accumulated for each i
// first with the b term and then with the row sum.
double block_value16(const Vec& x, int k) {
  const double* blk = empr19 + 110 * (k - 1);
  double f = 0;
  for (int i = 0; i < 10; ++i) {
    double s = 0;
    for (int j = 0; j < 10; ++j) s += blk[10 * i + j] * x[at(j)];
    f = f - blk[100 + i] * x[at(i)];
    f = f + x[at(i)] * s;
  }
  return f;
}

// 1-based block k of problem 16's gradient at x: -b_k + 2·A_k x.
Vec block_gradient16(const Vec& x, int k) {
  const double* blk = empr19 + 110 * (k - 1);
  Vec g(10);
  for (int i = 0; i < 10; ++i) {
    double s = 0;
    for (int j = 0; j < 10; ++j) s += blk[10 * i + j] * x[at(j)];
    g[at(i)] = -blk[100 + i] + 2 * s;
  }
  return g;
}

// ---- Set-up and values at the starting points ----

struct Start {
  int iprob;
  int n;
  Vec x;
  double fmin;
  double stepmax;
};

TEST(NonsmoothCubicAndFitStarts, SetUpStoresTheStartingPointAndBounds) {
  Vec x25(15, 0.0001);
  x25[11] = 60;
  const Start starts[] = {
      {13, 5, {0, 0, 0, 0, 1}, -1e60, 1000},   {13, 7, {0, 0, 0, 0, 1, 0, 0}, -1e60, 1000},
      {14, 5, {-2, 1.5, 2, -1, -1}, -1e60, 1}, {15, 6, {2, 2, 7, 0, -2, 1}, 0, 2},
      {16, 10, Vec(10, 1.0), -1e60, 1000},     {25, 15, x25, 0, 1000},
  };
  for (const Start& s : starts) {
    SCOPED_TRACE("problem " + std::to_string(s.iprob) + ", n = " + std::to_string(s.n));
    const auto r = setup_nonsmooth(s.iprob, s.n);
    EXPECT_EQ(r.ierr, 0);
    EXPECT_EQ(r.x, s.x);
    EXPECT_EQ(r.fmin, s.fmin);
    EXPECT_EQ(r.stepmax, s.stepmax);
  }
}

TEST(NonsmoothCubicAndFitStarts, ValuesAtTheStartingPoints) {
  auto s = setup_nonsmooth(13, 5);
  EXPECT_EQ(nonsmooth_value(13, 5, s.x.data()), 20.0);  // -12 + 30 + 2, no penalty

  s = setup_nonsmooth(14, 5);
  EXPECT_EQ(nonsmooth_value(14, 5, s.x.data()), 291.0 / 4);

  s = setup_nonsmooth(15, 6);
  long double sum = 0;
  for (int i = 0; i <= 50; ++i) sum += std::fabs(residual15(s.x, i));
  const double f15 = nonsmooth_value(15, 6, s.x.data());
  EXPECT_NEAR(f15, static_cast<double>(sum), 1e-12 * static_cast<double>(sum));
  // Both end points count: dropping the last sample changes the sum visibly.
  EXPECT_GT(std::fabs(residual15(s.x, 50)), 1e-12L * sum);

  s = setup_nonsmooth(16, 10);
  long double best = -1e300L;
  for (int k = 1; k <= 5; ++k) {
    const Quadratic q = generated16(k);
    long double fk = 0;
    for (int i = 1; i <= 10; ++i) {
      long double row = 0;
      for (int j = 1; j <= 10; ++j) row += q.a[j][i];
      fk += -q.b[i] + row;
    }
    best = std::max(best, fk);
  }
  const double f16 = nonsmooth_value(16, 10, s.x.data());
  EXPECT_NEAR(f16, static_cast<double>(best), 1e-12 * std::fabs(static_cast<double>(best)));
  EXPECT_NEAR(f16, 5.34e3, 5);

  s = setup_nonsmooth(25, 15);
  // x'Cx = 1e-8 times the sum of C's entries (50); -b'x = 2400 + 1e-4 times 105.25.
  EXPECT_NEAR(nonsmooth_value(25, 15, s.x.data()), 2400.010525 + 5e-7 + 6e-11, 1e-9);
}

// ---- Data ----

TEST(NonsmoothCubicData, BlockHoldsTheMatricesByColumns) {
  setup_nonsmooth(13, 5);
  for (int j = 1; j <= 5; ++j) {
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(area(10 * (j - 1) + i), kA[i - 1][j - 1]);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(area(60 + 5 * (j - 1) + i), kC[i - 1][j - 1]);
    EXPECT_EQ(area(85 + j), kD[j - 1]);
    EXPECT_EQ(area(90 + j), kE[j - 1]);
  }
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(area(50 + i), kB[i - 1]);
  // The three entries the integer table cannot hold.
  EXPECT_EQ(area(3), -3.5);
  EXPECT_EQ(area(45), -2.8);
  EXPECT_EQ(area(53), -0.25);
}

TEST(NonsmoothCubicData, BothSetUpsWriteTheSameBlockAndNothingElse) {
  std::fill(empr19, empr19 + 100, 7.5);
  setup_nonsmooth(25, 15);
  const Vec from25(empr19, empr19 + 100);
  std::fill(empr19, empr19 + 100, 7.5);
  setup_nonsmooth(13, 5);
  const Vec from13(empr19, empr19 + 100);
  EXPECT_EQ(from13, from25);
  for (int k = 96; k <= 100; ++k) EXPECT_EQ(area(k), 7.5) << "element " << k;
}

TEST(NonsmoothProblem16Data, GeneratedBlocksAreSymmetricDominantAndAsDefined) {
  setup_nonsmooth(16, 10);
  auto a = [](int k, int i, int j) { return area(110 * (k - 1) + 10 * (j - 1) + i); };
  auto b = [](int k, int i) { return area(110 * (k - 1) + 100 + i); };
  EXPECT_EQ(a(1, 1, 2), std::exp(0.5) * std::cos(2.0) * std::sin(1.0));
  EXPECT_NEAR(a(1, 1, 2), -0.58, 0.005);
  EXPECT_EQ(b(1, 1), std::exp(1.0) * std::sin(1.0));
  EXPECT_NEAR(b(1, 1), 2.29, 0.005);
  EXPECT_EQ(b(2, 1), std::exp(0.5) * std::sin(2.0));
  EXPECT_NEAR(b(2, 1), 1.50, 0.005);
  for (int k = 1; k <= 5; ++k) {
    const Quadratic q = generated16(k);
    for (int i = 1; i <= 10; ++i) {
      double off = 0;
      for (int j = 1; j <= 10; ++j) {
        EXPECT_EQ(a(k, i, j), a(k, j, i)) << k << " " << i << " " << j;
        EXPECT_NEAR(a(k, i, j), static_cast<double>(q.a[i][j]),
                    1e-13 * (1 + std::fabs(a(k, i, j))));
        if (j != i) off += std::fabs(a(k, j, i));
      }
      EXPECT_GT(a(k, i, i), off) << k << " " << i;
      // The diagonal's first term takes the column's other entries in increasing row order.
      volatile double vk = k;  // keeps sin(k) a run-time library call, as in the set-up
      double diagonal = (i * std::fabs(std::sin(vk))) / 10;
      for (int j = 1; j <= 10; ++j) {
        if (j != i) diagonal += std::fabs(a(k, j, i));
      }
      EXPECT_EQ(a(k, i, i), diagonal) << k << " " << i;
      EXPECT_NEAR(b(k, i), static_cast<double>(q.b[i]), 1e-13 * (1 + std::fabs(b(k, i))));
    }
  }
}

TEST(NonsmoothProblem16Data, MoreThanTenVariablesAreRejected) {
  setup_nonsmooth(13, 5);  // leaves A(1,1) = -16 in element 1
  const auto r = setup_nonsmooth(16, 11);
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.x, Vec(11, 0.0));
  EXPECT_EQ(area(1), -16.0);  // the data area is untouched
  // Evaluated anyway with n = 11, the routines leave their outputs cleared.
  const Vec x(11, 1.0);
  EXPECT_EQ(nonsmooth_value(16, 11, x.data()), 0.0);
  EXPECT_EQ(nonsmooth_gradient(16, 11, x.data()), Vec(11, 0.0));
  EXPECT_EQ(nonsmooth_hessian(16, 11, x.data()), Vec(66, 0.0));
}

TEST(NonsmoothProblem16Choice, ValueIsTheLargestBlockInTheStatedOrder) {
  setup_nonsmooth(16, 10);
  for (unsigned seed = 1; seed <= 8; ++seed) {
    const Vec x = kinkbench::check::nearby_point(Vec(10, 1.0), seed, 1.0);
    double best = block_value16(x, 1);
    for (int k = 2; k <= 5; ++k) best = std::max(best, block_value16(x, k));
    EXPECT_EQ(nonsmooth_value(16, 10, x.data()), best) << "seed " << seed;
  }
}

// At x = 0 every block gives 0, and the first one is kept. A NaN f_1 is passed over by
// the value and by the block choice alike, even when the block right after it is the
// largest: the derivatives do not fall back to block 1.
TEST(NonsmoothProblem16Choice, FirstOfTiedBlocksAndNaNBlocksPassedOver) {
  setup_nonsmooth(16, 10);
  const Vec zero(10, 0.0);
  EXPECT_EQ(nonsmooth_gradient(16, 10, zero.data()), block_gradient16(zero, 1));

  empr19[100] = NAN;  // b_1(1)
  Vec x(10, 0.0);
  x[3] = -1;  // block 2, the first block after the NaN one, is the largest here
  ASSERT_TRUE(std::isnan(block_value16(x, 1)));
  int best = 2;
  for (int k = 3; k <= 5; ++k) {
    if (block_value16(x, k) > block_value16(x, best)) best = k;
  }
  ASSERT_EQ(best, 2);
  EXPECT_EQ(nonsmooth_value(16, 10, x.data()), block_value16(x, best));
  EXPECT_EQ(nonsmooth_gradient(16, 10, x.data()), block_gradient16(x, best));
  const Vec h = nonsmooth_hessian(16, 10, x.data());
  const double* blk = empr19 + 110 * (best - 1);
  EXPECT_EQ(packed_at(h, 3, 2), 2 * blk[10 * 2 + 1]);
  setup_nonsmooth(16, 10);
}

// At an all-NaN point every f_k is NaN, so no block rises above the running value's
// start and block 1 stands: its Hessian, which does not depend on x, is what comes back.
TEST(NonsmoothProblem16Choice, AllNaNPointFallsBackToBlockOne) {
  setup_nonsmooth(16, 10);
  const Vec x(10, NAN);
  for (int k = 1; k <= 5; ++k) ASSERT_TRUE(std::isnan(block_value16(x, k)));
  EXPECT_TRUE(std::isnan(nonsmooth_value(16, 10, x.data())));
  const Vec h = nonsmooth_hessian(16, 10, x.data());
  bool differs_from_block2 = false;
  for (int i = 1; i <= 10; ++i) {
    for (int j = 1; j <= i; ++j) {
      const double block1 = 2 * empr19[10 * (i - 1) + (j - 1)];
      EXPECT_EQ(packed_at(h, i, j), block1) << i << ", " << j;
      differs_from_block2 =
          differs_from_block2 || block1 != 2 * empr19[110 + 10 * (i - 1) + (j - 1)];
    }
  }
  ASSERT_TRUE(differs_from_block2);  // otherwise the check could not tell the blocks apart
  for (const double gi : nonsmooth_gradient(16, 10, x.data())) EXPECT_TRUE(std::isnan(gi));
}

// Below a problem's dimension x holds fewer components than the formulas read: the
// routines write nothing rather than read past it (the sanitizer run checks the reads).
TEST(NonsmoothCubicAndFitStarts, TooFewVariablesLeaveTheOutputsCleared) {
  const int dims[][2] = {{13, 5}, {14, 5}, {15, 6}, {16, 10}, {25, 15}};
  for (const auto& d : dims) {
    SCOPED_TRACE("problem " + std::to_string(d[0]));
    setup_nonsmooth(d[0], d[1]);
    const int n = d[1] - 1;
    const Vec x(at(n), 0.5);
    EXPECT_EQ(nonsmooth_value(d[0], n, x.data()), 0.0);
    EXPECT_EQ(nonsmooth_gradient(d[0], n, x.data()), Vec(at(n), 0.0));
    EXPECT_EQ(nonsmooth_hessian(d[0], n, x.data()), Vec(at(n * (n + 1) / 2), 0.0));
  }
}

// ---- Piece choice, signs and NaN ----

TEST(NonsmoothProblem13Derivatives, NoPenaltyAtTheStartingPoint) {
  const auto s = setup_nonsmooth(13, 5);
  EXPECT_EQ(nonsmooth_gradient(13, 5, s.x.data()), (Vec{-35, 37, -56, -58, 54}));
  const Vec h = nonsmooth_hessian(13, 5, s.x.data());
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j < i; ++j) EXPECT_EQ(packed_at(h, i, j), 2 * kC[i - 1][j - 1]);
  }
  EXPECT_EQ(packed_at(h, 1, 1), 60.0);
  EXPECT_EQ(packed_at(h, 5, 5), 72.0);  // 2·30 + 6·2·1
}

TEST(NonsmoothProblem13Derivatives, TiedLargestResidualsUseTheEarlierRow) {
  setup_nonsmooth(13, 5);
  const Vec x = {-0.5, 0, 0, 0, 1};
  ASSERT_EQ(residual13(x, 8), 0.5);
  ASSERT_EQ(residual13(x, 9), 0.5);
  for (int i = 0; i < 8; ++i) ASSERT_LT(residual13(x, i), 0.5);
  Vec expected = smooth_gradient13(x);
  for (int j = 0; j < 5; ++j) expected[at(j)] -= 50 * kA[8][j];  // row 9, not row 10
  const Vec g = nonsmooth_gradient(13, 5, x.data());
  for (int j = 0; j < 5; ++j) EXPECT_DOUBLE_EQ(g[at(j)], expected[at(j)]) << j;
}

TEST(NonsmoothProblem13Derivatives, ComponentsBeyondFiveStayZero) {
  const auto s = setup_nonsmooth(13, 7);
  const Vec x = {0.3, -0.2, 0.1, 0.4, 0.9, 5, -7};
  Vec x5(x.begin(), x.begin() + 5);
  EXPECT_EQ(nonsmooth_value(13, 7, x.data()), nonsmooth_value(13, 5, x5.data()));
  const Vec g = nonsmooth_gradient(13, 7, x.data());
  EXPECT_EQ(g[5], 0.0);
  EXPECT_EQ(g[6], 0.0);
  const Vec h = nonsmooth_hessian(13, 7, x.data());
  const Vec h5 = nonsmooth_hessian(13, 5, x5.data());
  EXPECT_EQ(Vec(h.begin(), h.begin() + 15), h5);
  for (size_t p = 15; p < h.size(); ++p) EXPECT_EQ(h[p], 0.0) << p;
}

TEST(NonsmoothProblem14Derivatives, SignsAtTheStartingPoint) {
  const auto s = setup_nonsmooth(14, 5);  // sigma1 = +1, sigma2 = -1, sigma3 = -1
  EXPECT_EQ(nonsmooth_gradient(14, 5, s.x.data()), (Vec{-157, -61.5, 22, -64, -64}));
  const Vec h = nonsmooth_hessian(14, 5, s.x.data());
  EXPECT_EQ(packed_at(h, 1, 1), 140.0);
  EXPECT_EQ(packed_at(h, 2, 2), 20.0 - 60 * 1.5);
  EXPECT_EQ(packed_at(h, 3, 2), -2.0 * -1 * -1 - 10);  // x1·x4·x5 + 10·sigma2
  EXPECT_EQ(packed_at(h, 5, 4), -2 * 1.5 * 2 + 50.0);  // x1·x2·x3 - 50·sigma2
  EXPECT_EQ(packed_at(h, 2, 1), 2.0 * -1 * -1);        // x3·x4·x5
}

// A kink argument of +0 or -0 counts as positive: a sign-bit rule would flip both.
TEST(NonsmoothProblem14Derivatives, ExactKinksCountAsPositive) {
  setup_nonsmooth(14, 5);
  const Vec on_bilinear = {1, 2, 5, 1, 2};  // x2·x3 = 5·x4·x5
  EXPECT_EQ(nonsmooth_gradient(14, 5, on_bilinear.data())[2], 4 + 20 * 5 + 10 * 2.0);

  // x1³ + x2³ + 1 = +0 and x2·x3 - 5·x4·x5 = -0; the sphere term is -7.
  const Vec zeros = {-1, -0.0, 1, 0, 1};
  EXPECT_EQ(nonsmooth_value(14, 5, zeros.data()), 70.0);
  const Vec g = nonsmooth_gradient(14, 5, zeros.data());
  EXPECT_EQ(g[0], 20.0 + 30);  // x2·x3·x4·x5 + 20·sigma1·x1 + 30·sigma3·x1², sigma1 = -1
  EXPECT_EQ(g[3], -50.0);      // -50·sigma2·x5
  const Vec h = nonsmooth_hessian(14, 5, zeros.data());
  EXPECT_EQ(packed_at(h, 1, 1), -20.0 - 60);  // 20·sigma1 + 60·sigma3·x1
  EXPECT_EQ(packed_at(h, 3, 2), 10.0);
  EXPECT_EQ(packed_at(h, 5, 4), -50.0);
}

TEST(NonsmoothProblem15Derivatives, HessianVanishesWhereTheModelIsLinear) {
  setup_nonsmooth(15, 6);
  const Vec x = kinkbench::check::nearby_point({2, 2, 7, 0, -2, 1}, 11);
  const Vec h = nonsmooth_hessian(15, 6, x.data());
  EXPECT_EQ(packed_at(h, 1, 1), 0.0);
  EXPECT_EQ(packed_at(h, 5, 5), 0.0);
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(packed_at(h, 5, j), 0.0) << j;
    EXPECT_EQ(packed_at(h, 6, j), 0.0) << j;
  }
  const int nonzero[][2] = {{2, 1}, {2, 2}, {3, 1}, {3, 2}, {3, 3}, {4, 1},
                            {4, 2}, {4, 3}, {4, 4}, {6, 5}, {6, 6}};
  for (const auto& e : nonzero) EXPECT_NE(packed_at(h, e[0], e[1]), 0.0) << e[0] << e[1];
}

// With x1 = x5 = -0 every model value is -0, and at t = 0 the target is +0: that residual
// is -0 and counts as negative.
TEST(NonsmoothProblem15Derivatives, ResidualSignsFollowTheSignBit) {
  setup_nonsmooth(15, 6);
  const Vec x = {-0.0, 0, 0, 0, -0.0, 0};
  double expected = -1;  // sample t = 0
  long double sum = 0;
  for (int i = 1; i <= 50; ++i) {
    const long double y = target15(i / 10.0L);
    ASSERT_NE(y, 0.0L);
    expected += y > 0 ? -1 : 1;
    sum += std::fabs(y);
  }
  const Vec g = nonsmooth_gradient(15, 6, x.data());
  EXPECT_EQ(g[4], expected);  // sum of sigma·e^(-x6·t) with x6 = 0
  EXPECT_EQ(g[0], expected);  // sum of sigma·e^(-x2·t)·cos(x3·t + x4) with all of them 0
  EXPECT_NEAR(nonsmooth_value(15, 6, x.data()), static_cast<double>(sum), 1e-12);
}

TEST(NonsmoothProblem25Derivatives, NothingActiveAtTheStartingPoint) {
  const auto s = setup_nonsmooth(25, 15);
  const Vec g = nonsmooth_gradient(25, 15, s.x.data());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(g[at(5 + i)], -kB[i]) << i;
  const Vec h = nonsmooth_hessian(25, 15, s.x.data());
  for (int i = 1; i <= 5; ++i) {
    double cx = 0;
    for (int k = 0; k < 5; ++k) cx += kC[k][i - 1] * 0.0001;
    EXPECT_NEAR(g[at(i - 1)], 2 * cx + 6 * kD[i - 1] * 1e-8, 1e-15) << i;
    for (int j = 1; j < i; ++j) EXPECT_EQ(packed_at(h, i, j), 2 * kC[i - 1][j - 1]);
    EXPECT_NEAR(packed_at(h, i, i), 2 * kC[i - 1][i - 1] + 12 * kD[i - 1] * 0.0001, 1e-13);
  }
  for (size_t p = 15; p < h.size(); ++p) EXPECT_EQ(h[p], 0.0) << p;
}

// x(8) = +inf makes h(1) = -inf, h(3) = +inf and h(2), h(4), h(5) NaN (0·inf). The value
// adds nothing for a NaN constraint (so it stays +inf, not NaN); the derivatives count
// the NaN constraints as active.
TEST(NonsmoothProblem25Derivatives, NaNConstraintIsActiveOnlyInTheDerivatives) {
  auto s = setup_nonsmooth(25, 15);
  Vec x = s.x;
  x[7] = INFINITY;
  ASSERT_EQ(constraint25(x, 0), -INFINITY);
  ASSERT_EQ(constraint25(x, 2), INFINITY);
  for (int j : {1, 3, 4}) ASSERT_TRUE(std::isnan(constraint25(x, j)));

  EXPECT_EQ(nonsmooth_value(25, 15, x.data()), INFINITY);
  const Vec g = nonsmooth_gradient(25, 15, x.data());
  for (int i = 0; i < 10; ++i) {
    double expected = -kB[i];
    for (int j = 1; j < 5; ++j) expected += 100 * kA[i][j];
    EXPECT_EQ(g[at(5 + i)], expected) << i;
  }
  EXPECT_EQ(g[5], 340.0);  // 40 + 100·(2 + 0 + 1 + 0)
  const Vec h = nonsmooth_hessian(25, 15, x.data());
  EXPECT_NEAR(packed_at(h, 1, 1), 60 + 12 * 4 * 1e-4, 1e-12);
  for (int j = 2; j <= 5; ++j) {
    EXPECT_NEAR(packed_at(h, j, j), 2 * kC[j - 1][j - 1] + 12 * kD[j - 1] * 1e-4 - 600 * kD[j - 1],
                1e-12)
        << j;
  }
}

TEST(NonsmoothProblem25Derivatives, NegativeCubicSumAndComponents) {
  setup_nonsmooth(25, 15);
  Vec x(15, 0.0);
  for (int j = 0; j < 5; ++j) x[at(j)] = -0.5;
  for (int j = 0; j < 5; ++j) ASSERT_GT(constraint25(x, j), 0);
  const Vec h = nonsmooth_hessian(25, 15, x.data());
  EXPECT_EQ(packed_at(h, 1, 1), 60 + 24 - 2400.0);  // sigma = -1: 12·(-1)·4·(-0.5)
  const Vec g = nonsmooth_gradient(25, 15, x.data());
  double expected = 2 * (-0.5 * 22) - 6 * 4 * 0.25 + 600 * 4 * 0.5 - 100;
  for (int j = 0; j < 5; ++j) expected -= 200 * kC[0][j];
  EXPECT_EQ(g[0], expected);
}

// The cubic sum's sign is read from its sign bit, NaN included. With x(1) NaN every h(j)
// is NaN, so all five constraints are active.
TEST(NonsmoothProblem25Derivatives, CubicSignOfNaNFollowsItsSignBit) {
  const auto s = setup_nonsmooth(25, 15);
  for (double sigma : {-1.0, 1.0}) {
    Vec x = s.x;
    x[0] = std::copysign(NAN, sigma);
    const Vec h = nonsmooth_hessian(25, 15, x.data());
    EXPECT_NEAR(packed_at(h, 2, 2), 2 * kC[1][1] + 12 * sigma * kD[1] * 1e-4 - 600 * kD[1], 1e-9)
        << "sigma " << sigma;
  }
}

// ---- Derivatives against central differences ----

using Signature = std::vector<int>;
using SignatureFn = Signature (*)(const Vec&);

Signature signature13(const Vec& x) { return {penalty_row13(x)}; }

Signature signature14(const Vec& x) {
  const double cubic = x[0] * x[0] * x[0] + x[1] * x[1] * x[1] + 1;
  const double bilinear = x[1] * x[2] - 5 * x[3] * x[4];
  double sphere = -10;
  for (int i = 0; i < 5; ++i) sphere += x[at(i)] * x[at(i)];
  return {cubic < 0, bilinear < 0, sphere < 0};
}

Signature signature15(const Vec& x) {
  Signature s;
  for (int i = 0; i <= 50; ++i) s.push_back(residual15(x, i) < 0);
  return s;
}

Signature signature16(const Vec& x) {
  int best = 1;
  for (int k = 2; k <= 5; ++k) {
    if (block_value16(x, k) > block_value16(x, best)) best = k;
  }
  return {best};
}

Signature signature25(const Vec& x) {
  double cubic = 0;
  for (int j = 0; j < 5; ++j) cubic += kD[j] * x[at(j)] * x[at(j)] * x[at(j)];
  Signature s = {cubic < 0};
  for (int j = 0; j < 5; ++j) s.push_back(constraint25(x, j) > 0);
  for (double xi : x) s.push_back(xi < 0);
  return s;
}

// The checker steps each component by 6.0555e-6·max(1, |x(i)|); the piece must be the
// same at every point it visits (checked out to twice that step).
bool piece_is_stable(const Vec& x, SignatureFn signature) {
  const Signature base = signature(x);
  for (size_t i = 0; i < x.size(); ++i) {
    const double step = 6.0555e-6 * std::max(1.0, std::fabs(x[i]));
    for (double multiple : {-2.0, -1.0, 1.0, 2.0}) {
      Vec p = x;
      p[i] += multiple * step;
      if (signature(p) != base) return false;
    }
  }
  return true;
}

struct DerivativeCase {
  int iprob;
  int n;
  std::vector<Vec> bases;
  SignatureFn signature;
};

// Relative error (scaled by max(1, |analytic|, |difference|)) allowed for gradients
// against differences of the value and Hessians against differences of the gradient.
constexpr double kTolerance = 1e-6;

TEST(NonsmoothDerivatives13to16and25, MatchCentralDifferencesWherePiecesAreStable) {
  Vec x25(15, 0.0001);
  x25[11] = 60;
  Vec all_active(15, 0.1);
  Vec negative(15, 0.0);
  for (int j = 0; j < 5; ++j) negative[at(j)] = -0.5;
  Vec first_unit(10, 0.0);  // block 5 wins here, block 1 at the start
  first_unit[0] = 1;
  const DerivativeCase cases[] = {
      {13, 5, {{0, 0, 0, 0, 1}, {-0.5, 0, 0, 0, 1}}, signature13},
      {14, 5, {{-2, 1.5, 2, -1, -1}, {1, 1, 1, 1, 1}}, signature14},
      {15, 6, {{2, 2, 7, 0, -2, 1}, {1, 1, 5, 0.5, -1, 2}}, signature15},
      {16, 10, {Vec(10, 1.0), first_unit}, signature16},
      {25, 15, {x25, all_active, negative}, signature25},
  };
  for (const DerivativeCase& c : cases) {
    setup_nonsmooth(c.iprob, c.n);
    double worst_gradient = 0;
    double worst_hessian = 0;
    std::vector<Signature> pieces;
    for (const Vec& base : c.bases) {
      for (unsigned seed = 1; seed <= 4; ++seed) {
        const Vec x = kinkbench::check::nearby_point(base, seed);
        SCOPED_TRACE("problem " + std::to_string(c.iprob) + ", seed " + std::to_string(seed));
        ASSERT_TRUE(piece_is_stable(x, c.signature));
        pieces.push_back(c.signature(x));
        const auto eg = kbtest::nonsmooth_gradient_error(c.iprob, c.n, x.data());
        const auto eh = kbtest::nonsmooth_hessian_error(c.iprob, c.n, x.data());
        EXPECT_LT(eg.error, kTolerance) << "gradient component " << eg.index;
        EXPECT_LT(eh.error, kTolerance) << "Hessian position " << eh.index;
        worst_gradient = std::max(worst_gradient, eg.error);
        worst_hessian = std::max(worst_hessian, eh.error);
      }
    }
    // The points must exercise more than one piece, or the kinks go untested.
    std::sort(pieces.begin(), pieces.end());
    EXPECT_GT(std::unique(pieces.begin(), pieces.end()) - pieces.begin(), 1)
        << "problem " << c.iprob;
    std::string key("problem");
    key += std::to_string(c.iprob);
    char worst[64];
    std::snprintf(worst, sizeof worst, "%.3g / %.3g", worst_gradient, worst_hessian);
    RecordProperty(key + "_worst_gradient_hessian_error", worst);
  }
}

}  // namespace
