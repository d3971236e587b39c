// Minimax problems 1 to 6 through the C routines: values at known points, which formula
// each k selects, exactly which output entries each routine writes, the stated orders
// of evaluation, and the derivatives against central differences.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;
using kbtest::minimax_gradient;
using kbtest::minimax_hessian;
using kbtest::minimax_value;
using Vec = std::vector<double>;

struct Facts {
  int iprob;
  int min_n;
  int m;
};

constexpr Facts kProblems[] = {{1, 2, 3}, {2, 2, 3}, {3, 2, 2}, {4, 3, 6}, {5, 4, 4}, {6, 4, 4}};

// k values around and outside 1..m that every selection rule must handle.
std::vector<int> ks_around(int m) {
  std::vector<int> ks = {INT_MIN, -7, -1, 0};
  for (int k = 1; k <= m + 1; ++k) ks.push_back(k);
  ks.push_back(m + 5);
  ks.push_back(INT_MAX);
  return ks;
}

std::string scientific(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2e", v);
  return buf;
}

Vec start(const Facts& p, int n) { return kbtest::setup_minimax(p.iprob, n).x; }

// A point near the start in the leading components; later components sentinel-filled so
// a routine that reads them produces garbage the checks would see.
Vec near_start(const Facts& p, int n, unsigned seed) {
  Vec x = kinkbench::check::nearby_point(start(p, p.min_n), seed, 0.05);
  x.resize(static_cast<size_t>(n), kSentinel);
  return x;
}

TEST(MinimaxProblems1To6, ValuesAtTheirNamedPoints) {
  const Vec p1 = {2, 2};
  EXPECT_EQ(minimax_value(1, 2, 1, p1.data()), 20);
  EXPECT_EQ(minimax_value(1, 2, 2, p1.data()), 0);
  EXPECT_EQ(minimax_value(1, 2, 3, p1.data()), 2);

  const Vec p2 = {3, 1};
  EXPECT_DOUBLE_EQ(minimax_value(2, 2, 1, p2.data()), 455.0 / 62);
  EXPECT_DOUBLE_EQ(minimax_value(2, 2, 2, p2.data()), 269.0 / 62);
  EXPECT_DOUBLE_EQ(minimax_value(2, 2, 3, p2.data()), -145.0 / 62);

  const Vec p3 = start(kProblems[2], 2);
  ASSERT_EQ(p3, (Vec{1.41831, -4.79462}));
  const double f31 = minimax_value(3, 2, 1, p3.data());
  const double f32 = minimax_value(3, 2, 2, p3.data());
  EXPECT_NEAR(f31, 0.125, 1e-7);
  EXPECT_NEAR(f32, 0.125, 1e-7);
  EXPECT_GT(f31 - f32, 1e-11);
  EXPECT_LT(f31 - f32, 2e-10);

  const Vec p4 = {1, 1, 1};
  const double want4[] = {2, 3, 2, 2, 58, -8};
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(minimax_value(4, 3, k, p4.data()), want4[k - 1]) << k;

  const Vec zero = {0, 0, 0, 0};
  const double want5[] = {0, -80, -100, -50};
  const double want6[] = {12, -48, -48, -28};
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(minimax_value(5, 4, k, zero.data()), want5[k - 1]) << k;
    EXPECT_EQ(minimax_value(6, 4, k, zero.data()), want6[k - 1]) << k;
  }
}

TEST(MinimaxProblems1To6, DerivativesAtTheirNamedPoints) {
  const Vec p1 = {2, 2};
  EXPECT_EQ(minimax_gradient(1, 2, 1, p1.data()), (Vec{4, 32}));
  EXPECT_EQ(minimax_gradient(1, 2, 2, p1.data()), (Vec{0, 0}));
  EXPECT_EQ(minimax_gradient(1, 2, 3, p1.data()), (Vec{-2, 2}));
  EXPECT_EQ(minimax_hessian(1, 2, 1, p1.data()), (Vec{2, 0, 48}));
  EXPECT_EQ(minimax_hessian(1, 2, 2, p1.data()), (Vec{2, 0, 2}));
  EXPECT_EQ(minimax_hessian(1, 2, 3, p1.data()), (Vec{2, -2, 2}));

  const Vec p4 = {1, 1, 1};
  EXPECT_EQ(minimax_gradient(4, 3, 5, p4.data()), (Vec{-14, 12, 100}));
  EXPECT_EQ(minimax_hessian(4, 3, 5, p4.data()), (Vec{16, 0, 12, -20, 0, 100}));

  const Vec zero = {0, 0, 0, 0};
  EXPECT_EQ(minimax_gradient(6, 4, 1, zero.data()), (Vec{-35, -7, -21, 147}));
}

// Which formula each k selects, in each routine, with k = 0, negative k and k > m.
TEST(MinimaxProblems1To6, EveryKSelectsTheStatedFormula) {
  for (int k : ks_around(6)) {
    SCOPED_TRACE("k = " + std::to_string(k));
    const Vec x1 = {0.3, -0.7};
    const int v1 = (k == 2 || k == 3) ? k : 1;
    EXPECT_EQ(minimax_value(1, 2, k, x1.data()), minimax_value(1, 2, v1, x1.data()));
    EXPECT_EQ(minimax_gradient(1, 2, k, x1.data()), minimax_gradient(1, 2, v1, x1.data()));
    // The Hessian follows f2 for every k other than 1 and 3.
    const int h1 = (k == 1 || k == 3) ? k : 2;
    EXPECT_EQ(minimax_hessian(1, 2, k, x1.data()), minimax_hessian(1, 2, h1, x1.data()));

    const Vec x2 = {0.4, 1.3};
    const double c = x2[0] + 0.1;
    if (k < 1 || k > 3) {
      EXPECT_EQ(minimax_value(2, 2, k, x2.data()), kSentinel);
      EXPECT_EQ(minimax_gradient(2, 2, k, x2.data()), (Vec{kSentinel, 2 * 1.3}));
    }
    EXPECT_EQ(minimax_hessian(2, 2, k, x2.data()), (Vec{(k == 3 ? 1 : -1) / (c * c * c), 0, 2}));

    const Vec x4 = {0.3, -0.7, 1.9};
    const int v4 = (k >= 2 && k <= 6) ? k : 1;
    EXPECT_EQ(minimax_value(4, 3, k, x4.data()), minimax_value(4, 3, v4, x4.data()));
    EXPECT_EQ(minimax_gradient(4, 3, k, x4.data()), minimax_gradient(4, 3, v4, x4.data()));
    EXPECT_EQ(minimax_hessian(4, 3, k, x4.data()), minimax_hessian(4, 3, v4, x4.data()));

    const Vec x5 = {0.3, -0.7, 1.9, 0.25};
    const int v5 = (k == 1 || k == 3 || k == 4) ? k : 2;
    const int h5 = k <= 1 ? 1 : (k >= 5 ? 3 : k);
    EXPECT_EQ(minimax_value(5, 4, k, x5.data()), minimax_value(5, 4, v5, x5.data()));
    EXPECT_EQ(minimax_gradient(5, 4, k, x5.data()), minimax_gradient(5, 4, v5, x5.data()));
    EXPECT_EQ(minimax_hessian(5, 4, k, x5.data()), minimax_hessian(5, 4, h5, x5.data()));

    const int v6 = (k >= 2 && k <= 4) ? k : 1;
    EXPECT_EQ(minimax_value(6, 4, k, x5.data()), minimax_value(6, 4, v6, x5.data()));
    EXPECT_EQ(minimax_gradient(6, 4, k, x5.data()), minimax_gradient(6, 4, v6, x5.data()));
    EXPECT_EQ(minimax_hessian(6, 4, k, x5.data()), minimax_hessian(6, 4, v6, x5.data()));
  }
  // The rows those comparisons lean on really differ.
  const Vec zero = {0, 0, 0, 0};
  EXPECT_EQ(minimax_value(5, 4, 5, zero.data()), -80);
  EXPECT_EQ(minimax_value(6, 4, 5, zero.data()), 12);
  EXPECT_EQ(minimax_hessian(5, 4, 7, zero.data()), (Vec{22, 0, 42, 0, 0, 24, 0, 0, 0, 42}));
  EXPECT_EQ(minimax_hessian(5, 4, 0, zero.data()), (Vec{2, 0, 2, 0, 0, 4, 0, 0, 0, 2}));
  EXPECT_EQ(minimax_gradient(5, 4, 7, zero.data()), (Vec{5, -15, -11, -3}));
  EXPECT_EQ(minimax_gradient(5, 4, 0, zero.data()), (Vec{5, -15, -11, -3}));
}

TEST(MinimaxProblems1To6, SingularPointsGiveNonFiniteResultsUnguarded) {
  const Vec pole = {-0.1, 1};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_FALSE(std::isfinite(minimax_value(2, 2, k, pole.data()))) << k;
    EXPECT_FALSE(std::isfinite(minimax_gradient(2, 2, k, pole.data())[0])) << k;
    EXPECT_FALSE(std::isfinite(minimax_hessian(2, 2, k, pole.data())[0])) << k;
  }
  const Vec origin = {0, 0};
  for (int k = 1; k <= 2; ++k) {
    EXPECT_EQ(minimax_value(3, 2, k, origin.data()), 0) << k;
    const Vec g = minimax_gradient(3, 2, k, origin.data());
    EXPECT_TRUE(std::isnan(g[0]) && std::isnan(g[1])) << k;
  }
}

// What a routine does to one output entry.
enum class Entry { kWritten, kCleared, kLeft };

Entry gradient_entry(int iprob, int k, int i) {  // i 1-based
  const bool in_range = k >= 1 && k <= 3;
  switch (iprob) {
    case 1:
      return i <= 2 ? Entry::kWritten : Entry::kLeft;
    case 2:
      return (i == 2 || (i == 1 && in_range)) ? Entry::kWritten : Entry::kLeft;
    case 3:
      return (i <= 2 && (k == 1 || k == 2)) ? Entry::kWritten : Entry::kLeft;
    case 4:
      return i <= 3 ? Entry::kWritten : Entry::kLeft;
    default:
      return i <= 4 ? Entry::kWritten : Entry::kLeft;
  }
}

Entry hessian_entry(int iprob, int k, int pos) {  // pos 1-based
  switch (iprob) {
    case 1:
    case 2:
      return pos <= 3 ? Entry::kWritten : Entry::kLeft;
    case 3:
      return (pos <= 3 && (k == 1 || k == 2)) ? Entry::kWritten : Entry::kLeft;
    case 4:  // the leading 3x3 block may hold zeros of the formula; all else is cleared
      return pos <= 6 ? Entry::kWritten : Entry::kCleared;
    case 5:
      return (pos == 1 || pos == 3 || pos == 6 || pos == 10) ? Entry::kWritten : Entry::kCleared;
    default:
      return pos <= 10 ? Entry::kWritten : Entry::kLeft;
  }
}

void expect_entries(const Vec& out, Entry (*rule)(int, int, int), int iprob, int k) {
  for (size_t i = 0; i < out.size(); ++i) {
    const int pos = static_cast<int>(i) + 1;
    switch (rule(iprob, k, pos)) {
      case Entry::kWritten:
        EXPECT_NE(out[i], kSentinel) << "entry " << pos << " not written";
        break;
      case Entry::kCleared:
        EXPECT_EQ(out[i], 0.0) << "entry " << pos << " not cleared";
        break;
      case Entry::kLeft:
        EXPECT_EQ(out[i], kSentinel) << "entry " << pos << " overwritten";
        break;
    }
  }
}

TEST(MinimaxProblems1To6, RoutinesWriteExactlyTheirEntries) {
  for (const Facts& p : kProblems) {
    for (int n : {p.min_n, p.min_n + 3}) {
      const Vec x = near_start(p, n, 7);
      for (int k : ks_around(p.m)) {
        SCOPED_TRACE("problem " + std::to_string(p.iprob) + ", n = " + std::to_string(n) +
                     ", k = " + std::to_string(k));
        const bool value_written = !((p.iprob == 2 || p.iprob == 3) && (k < 1 || k > p.m));
        EXPECT_EQ(minimax_value(p.iprob, n, k, x.data()) != kSentinel, value_written);
        expect_entries(minimax_gradient(p.iprob, n, k, x.data()), gradient_entry, p.iprob, k);
        expect_entries(minimax_hessian(p.iprob, n, k, x.data()), hessian_entry, p.iprob, k);
      }
    }
  }
}

// The triangle cleared is that of the n passed. Below the problem's minimum n there is
// no room for its entries, so nothing at all is written.
TEST(MinimaxProblems1To6, ClearingFollowsTheNPassed) {
  for (int n : {3, 0, -3, INT_MIN}) {
    Vec h(10, kSentinel);
    int k = 2;
    int iprob = 5;
    const Vec x = {0, 0, 0, 0};
    tahd06(&n, &k, x.data(), h.data(), &iprob);
    EXPECT_EQ(h, Vec(10, kSentinel)) << n;
  }
  const Vec x = {1, 1, 1, 5, 5};
  const Vec h = minimax_hessian(4, 5, 3, x.data());
  EXPECT_EQ(h, Vec(15, 0.0));
}

// Counts the seeded points where two evaluation orders of the same formula round apart,
// so that a test comparing against one of them is known to tell them apart.
template <class Stated, class Other>
int bitwise_checks(const Facts& p, int k, Stated stated, Other other) {
  int told_apart = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const Vec x = kinkbench::check::nearby_point(start(p, p.min_n), seed, 0.5);
    const double got = minimax_value(p.iprob, p.min_n, k, x.data());
    EXPECT_EQ(got, stated(x)) << "seed " << seed;
    if (stated(x) != other(x)) ++told_apart;
  }
  return told_apart;
}

TEST(MinimaxProblems1To6, ValuesFollowTheStatedOrderOfEvaluation) {
  EXPECT_GT(bitwise_checks(
                kProblems[0], 2,
                [](const Vec& x) { return ((8 - 4 * (x[0] + x[1])) + x[0] * x[0]) + x[1] * x[1]; },
                [](const Vec& x) { return (2 - x[0]) * (2 - x[0]) + (2 - x[1]) * (2 - x[1]); }),
            0);
  EXPECT_GT(bitwise_checks(
                kProblems[1], 1,
                [](const Vec& x) {
                  const double a = (10 * x[0]) / (x[0] + 0.1);
                  return 0.5 * ((x[0] + a) + 2 * (x[1] * x[1]));
                },
                [](const Vec& x) {
                  const double a = 10 * (x[0] / (x[0] + 0.1));
                  return 0.5 * ((x[0] + a) + 2 * (x[1] * x[1]));
                }),
            0);
  EXPECT_GT(bitwise_checks(
                kProblems[2], 1,
                [](const Vec& x) {
                  const double q = x[0] * x[0] + x[1] * x[1];
                  const double r = std::sqrt(q);
                  const double s = x[0] - r * std::cos(r);
                  return s * s + 0.005 * q;
                },
                [](const Vec& x) {
                  const double r = std::sqrt(x[0] * x[0] + x[1] * x[1]);
                  const double s = x[0] - r * std::cos(r);
                  return s * s + 0.005 * (r * r);
                }),
            0);
  EXPECT_GT(
      bitwise_checks(
          kProblems[5], 1,
          [](const Vec& x) {
            const double p2 = (x[3] + 1) * (x[3] + 1);
            const double a = x[0] - p2 * p2;
            const double b = x[1] - (a * a) * (a * a);
            return ((((((a * a + b * b) + 2 * (x[2] * x[2])) + x[3] * x[3]) - 5 * a) - 5 * b) -
                    21 * x[2]) +
                   7 * x[3];
          },
          [](const Vec& x) {
            const double a = x[0] - std::pow(x[3] + 1, 4);
            const double b = x[1] - std::pow(a, 4);
            return ((((((a * a + b * b) + 2 * (x[2] * x[2])) + x[3] * x[3]) - 5 * a) - 5 * b) -
                    21 * x[2]) +
                   7 * x[3];
          }),
      0);
}

// Problem 5 forms f1 first and adds ten times the penalty to it, rather than using the
// combined coefficients of each row.
TEST(MinimaxProblems1To6, ProblemFiveValueAddsTenTimesThePenaltyToTheBase) {
  const auto base = [](const Vec& x) {
    return ((((((x[0] * x[0] + x[1] * x[1]) + 2 * (x[2] * x[2])) + x[3] * x[3]) - 5 * x[0]) -
             5 * x[1]) -
            21 * x[2]) +
           7 * x[3];
  };
  const auto sq = [](double v) { return v * v; };
  EXPECT_GT(bitwise_checks(
                kProblems[4], 2,
                [&](const Vec& x) {
                  const double c =
                      (((((((sq(x[0]) + sq(x[1])) + sq(x[2])) + sq(x[3])) + x[0]) - x[1]) + x[2]) -
                       x[3]) -
                      8;
                  return base(x) + 10 * c;
                },
                [&](const Vec& x) {
                  return ((((((((11 * sq(x[0]) + 11 * sq(x[1])) + 12 * sq(x[2])) + 11 * sq(x[3])) +
                              5 * x[0]) -
                             15 * x[1]) -
                            11 * x[2]) -
                           3 * x[3]) -
                          80);
                }),
            0);
  EXPECT_GT(bitwise_checks(
                kProblems[4], 3,
                [&](const Vec& x) {
                  const double c =
                      (((((sq(x[0]) + 2 * sq(x[1])) + sq(x[2])) + 2 * sq(x[3])) - x[0]) - x[3]) -
                      10;
                  return base(x) + 10 * c;
                },
                [&](const Vec& x) {
                  return (((((((11 * sq(x[0]) + 21 * sq(x[1])) + 12 * sq(x[2])) + 21 * sq(x[3])) -
                             15 * x[0]) -
                            5 * x[1]) -
                           21 * x[2]) -
                          3 * x[3]) -
                         100;
                }),
            0);
  EXPECT_GT(
      bitwise_checks(
          kProblems[4], 4,
          [&](const Vec& x) {
            const double c = (((((sq(x[0]) + sq(x[1])) + sq(x[2])) + 2 * x[0]) - x[1]) - x[3]) - 5;
            return base(x) + 10 * c;
          },
          [&](const Vec& x) {
            return (((((((11 * sq(x[0]) + 11 * sq(x[1])) + 12 * sq(x[2])) + sq(x[3])) + 15 * x[0]) -
                      15 * x[1]) -
                     21 * x[2]) -
                    3 * x[3]) -
                   50;
          }),
      0);
}

// Every component of rows 2 to 4 is the base component plus ten times the penalty's,
// not the combined coefficient of the gradient table (22 x1 + 5 and so on).
TEST(MinimaxProblems1To6, ProblemFiveGradientAddsTenTimesThePenaltyComponent) {
  int told_apart[3][4] = {};
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const Vec x = kinkbench::check::nearby_point({0, 0, 0, 0}, seed, 3.0);
    const double base[4] = {2 * x[0] - 5, 2 * x[1] - 5, 4 * x[2] - 21, 2 * x[3] + 7};
    const double penalty[3][4] = {{2 * x[0] + 1, 2 * x[1] - 1, 2 * x[2] + 1, 2 * x[3] - 1},
                                  {2 * x[0] - 1, 4 * x[1], 2 * x[2], 4 * x[3] - 1},
                                  {2 * x[0] + 2, 2 * x[1] - 1, 2 * x[2], -1}};
    const double combined[3][4] = {{22 * x[0] + 5, 22 * x[1] - 15, 24 * x[2] - 11, 22 * x[3] - 3},
                                   {22 * x[0] - 15, 42 * x[1] - 5, 24 * x[2] - 21, 42 * x[3] - 3},
                                   {22 * x[0] + 15, 22 * x[1] - 15, 24 * x[2] - 21, 2 * x[3] - 3}};
    for (int k = 2; k <= 4; ++k) {
      const Vec g = minimax_gradient(5, 4, k, x.data());
      for (int i = 0; i < 4; ++i) {
        const double stated = base[i] + 10 * penalty[k - 2][i];
        EXPECT_EQ(g[static_cast<size_t>(i)], stated) << "k " << k << " g(" << i + 1 << ")";
        if (stated != combined[k - 2][i]) ++told_apart[k - 2][i];
      }
    }
  }
  for (int k = 2; k <= 4; ++k) {
    for (int i = 0; i < 4; ++i)
      EXPECT_GT(told_apart[k - 2][i], 0) << "k " << k << " g(" << i + 1 << ")";
  }
}

// Problem 6's Hessian entry by entry as the general formula H(i,j) = 2 c_a A_i A_j +
// 2 c_b B_i B_j + F_a a_ij + F_b b_ij (+ 2 c_3, 2 c_4 on the diagonal), with (i, j) the
// packed row and column and b_ij formed before F_b multiplies it.
TEST(MinimaxProblems1To6, ProblemSixHessianFollowsTheGeneralFormulaEntryByEntry) {
  constexpr double kCoef[4][6] = {
      // c_a, c_b, c_3, c_4, l_a, l_b
      {1, 1, 2, 1, -5, -5},
      {11, 11, 12, 11, 5, -15},
      {11, 21, 12, 21, -15, -5},
      {11, 11, 12, 1, 15, -15},
  };
  int told_apart = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    const Vec x = kinkbench::check::nearby_point({0, 0, 0, 0}, seed, 0.5);
    const double p = x[3] + 1;
    const double a = x[0] - (p * p) * (p * p);
    const double b = x[1] - (a * a) * (a * a);
    const double alpha = -4 * (p * p * p);
    const double beta = -4 * (a * a * a);
    const double A[4] = {1, 0, 0, alpha};
    const double B[4] = {beta, 1, 0, alpha * beta};
    for (int k = 1; k <= 4; ++k) {
      const double* c = kCoef[k - 1];
      const double fa = 2 * c[0] * a + c[4];
      const double fb = 2 * c[1] * b + c[5];
      const Vec h = minimax_hessian(6, 4, k, x.data());
      for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= i; ++j) {
          const double a_ij = (i == 4 && j == 4) ? -12 * (p * p) : 0;
          const double b_ij = -12 * (a * a) * A[i - 1] * A[j - 1] + beta * a_ij;
          double want =
              ((2 * c[0] * A[i - 1] * A[j - 1] + 2 * c[1] * B[i - 1] * B[j - 1]) + fa * a_ij) +
              fb * b_ij;
          if (i == j && i >= 3) want += 2 * c[i - 1];
          EXPECT_EQ(kbtest::packed_at(h, i, j), want)
              << "k " << k << " H(" << i << "," << j << ") seed " << seed;
        }
      }
      // The same entry grouped the other way round, to show the points tell them apart.
      const double regrouped =
          (2 * c[0] * alpha + 2 * c[1] * beta * (alpha * beta)) + fb * (-12 * (a * a)) * alpha;
      if (regrouped != kbtest::packed_at(h, 4, 1)) ++told_apart;
    }
  }
  EXPECT_GT(told_apart, 0);
}

// Gradients against central differences of the value and Hessians against central
// differences of the gradient, for every k in 1..m, at seeded points near the start.
TEST(MinimaxProblems1To6, DerivativesMatchCentralDifferences) {
  constexpr double kGradientTolerance = 1e-6;
  constexpr double kHessianTolerance = 1e-6;
  for (const Facts& p : kProblems) {
    double worst_gradient = 0;
    double worst_hessian = 0;
    for (unsigned seed = 1; seed <= 8; ++seed) {
      const Vec x = near_start(p, p.min_n, seed);
      for (int k = 1; k <= p.m; ++k) {
        SCOPED_TRACE("problem " + std::to_string(p.iprob) + ", k = " + std::to_string(k) +
                     ", seed " + std::to_string(seed));
        const auto g = kbtest::minimax_gradient_error(p.iprob, p.min_n, k, x.data());
        const auto h = kbtest::minimax_hessian_error(p.iprob, p.min_n, k, x.data());
        EXPECT_LT(g.error, kGradientTolerance) << "gradient entry " << g.index;
        EXPECT_LT(h.error, kHessianTolerance) << "packed position " << h.index;
        worst_gradient = std::fmax(worst_gradient, g.error);
        worst_hessian = std::fmax(worst_hessian, h.error);
      }
    }
    const std::string name = "problem" + std::to_string(p.iprob);
    RecordProperty(name + "_worst_gradient_error", scientific(worst_gradient));
    RecordProperty(name + "_worst_hessian_error", scientific(worst_hessian));
  }
}

}  // namespace
