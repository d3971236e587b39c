// The nonsmooth collection's interface: dimension checks, defaults, the problem-number
// fallback, the clearing of outputs and the data area's overwrite rules. These facts
// come from the table alone, so they hold for every problem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kinkbench/kinkbench.h"
#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;

struct Row {
  int iprob;
  int min_n;
  double fmin;
  double stepmax;
};

// Every problem's requirements, written out independently of the library's table.
constexpr Row kRows[] = {
    {1, 2, 0, 1000},       {2, 2, 0, 1000},      {3, 2, 0, 1000},      {4, 2, 0, 1000},
    {5, 2, -1e60, 1000},   {6, 2, 0, 1000},      {7, 2, -1e60, 1000},  {8, 2, -1e60, 1000},
    {9, 2, -1e60, 1000},   {10, 2, -1e60, 1000}, {11, 4, -1e60, 1000}, {12, 5, 0, 1000},
    {13, 5, -1e60, 1000},  {14, 5, -1e60, 1},    {15, 6, 0, 2},        {16, 10, -1e60, 1000},
    {17, 10, 0, 10},       {18, 12, 0, 1000},    {19, 20, 0, 5},       {20, 20, 0, 10},
    {21, 48, -1e60, 1000}, {22, 50, 0, 10},      {23, 30, 0, 5},       {24, 30, 0, 1000},
    {25, 15, 0, 1000},
};

// Problems whose data is laid out for exactly one n.
bool fixed_dimension(int iprob) { return iprob == 16 || iprob == 21; }

// tiud19 with every output prefilled, so that a default the routine fails to store
// shows up. x has `capacity` entries, more than n when n is small.
struct SetupResult {
  int ierr = -7;
  double fmin = kSentinel;
  double stepmax = kSentinel;
  std::vector<double> x;
};

SetupResult call_setup(int iprob, int n, int capacity) {
  SetupResult s;
  s.x.assign(static_cast<size_t>(capacity), kSentinel);
  tiud19(&n, s.x.data(), &s.fmin, &s.stepmax, &iprob, &s.ierr);
  return s;
}

std::vector<double> data_area() { return std::vector<double>(empr19, empr19 + 2700); }

bool all_zero(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double e) { return e == 0.0; });
}

TEST(NonsmoothTable, EveryProblemAcceptsItsMinimumWithItsBoundAndStep) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.iprob);
    const SetupResult s = call_setup(r.iprob, r.min_n, r.min_n);
    EXPECT_EQ(s.ierr, 0);
    EXPECT_EQ(s.fmin, r.fmin);
    EXPECT_EQ(s.stepmax, r.stepmax);
    for (double xi : s.x) EXPECT_NE(xi, kSentinel);
  }
}

TEST(NonsmoothTable, OneBelowTheMinimumIsRejectedWithZeroPointAndDataKept) {
  for (const Row& r : kRows) {
    const int n = r.min_n - 1;
    if (n < 2) continue;  // n < 2 is its own rule, tested below
    SCOPED_TRACE(r.iprob);
    const std::vector<double> before = data_area();
    const SetupResult s = call_setup(r.iprob, n, n + 1);
    EXPECT_EQ(s.ierr, 1);
    EXPECT_EQ(s.fmin, 0.0);
    EXPECT_EQ(s.stepmax, 1000.0);
    for (int i = 0; i < n; ++i) EXPECT_EQ(s.x[static_cast<size_t>(i)], 0.0) << i;
    EXPECT_EQ(s.x[static_cast<size_t>(n)], kSentinel) << "wrote beyond x(n)";
    EXPECT_EQ(data_area(), before);
  }
}

TEST(NonsmoothTable, FixedDimensionProblemsRejectOneMore) {
  for (const int iprob : {16, 21}) {
    SCOPED_TRACE(iprob);
    const int n = iprob == 16 ? 11 : 49;
    const std::vector<double> before = data_area();
    const SetupResult s = call_setup(iprob, n, n);
    EXPECT_EQ(s.ierr, 1);
    EXPECT_EQ(s.fmin, 0.0);
    EXPECT_EQ(s.stepmax, 1000.0);
    EXPECT_TRUE(all_zero(s.x));
    EXPECT_EQ(data_area(), before);
  }
}

TEST(NonsmoothTable, EvaluationAtARejectedDimensionLeavesOutputsCleared) {
  for (const int iprob : {16, 21}) {
    SCOPED_TRACE(iprob);
    const int n = iprob == 16 ? 11 : 49;
    call_setup(iprob, n - 1, n - 1);  // a valid set-up first, so data is in place
    const std::vector<double> x(static_cast<size_t>(n), 1.0);
    EXPECT_EQ(kbtest::nonsmooth_value(iprob, n, x.data()), 0.0);
    EXPECT_TRUE(all_zero(kbtest::nonsmooth_gradient(iprob, n, x.data())));
    EXPECT_TRUE(all_zero(kbtest::nonsmooth_hessian(iprob, n, x.data())));
  }
}

TEST(NonsmoothSetup, BelowTwoIsRejectedForEveryNumberWithoutTouchingX) {
  for (int iprob = -3; iprob <= 27; ++iprob) {
    for (const int n : {1, 0, -1}) {
      SCOPED_TRACE(testing::Message() << "iprob " << iprob << " n " << n);
      const std::vector<double> before = data_area();
      const SetupResult s = call_setup(iprob, n, 3);
      EXPECT_EQ(s.ierr, 1);
      EXPECT_EQ(s.fmin, 0.0);
      EXPECT_EQ(s.stepmax, 1000.0);
      for (double xi : s.x) EXPECT_EQ(xi, kSentinel);
      EXPECT_EQ(data_area(), before);
    }
  }
}

TEST(NonsmoothFallback, NumbersOutsideTheCollectionAreProblemOne) {
  const std::vector<std::vector<double>> points = {{-1.2, 1}, {1, 1}, {0.3, -2.5}, {-0.7, 0.4}};
  for (const int iprob : {0, 26, -3}) {
    SCOPED_TRACE(iprob);
    const SetupResult s = call_setup(iprob, 2, 2);
    EXPECT_EQ(s.ierr, 0);
    EXPECT_EQ(s.fmin, 0.0);
    EXPECT_EQ(s.stepmax, 1000.0);
    EXPECT_EQ(s.x, (std::vector<double>{-1.2, 1}));
    EXPECT_NEAR(kbtest::nonsmooth_value(iprob, 2, s.x.data()), 24.2, 1e-12);
    for (const std::vector<double>& p : points) {
      EXPECT_EQ(kbtest::nonsmooth_value(iprob, 2, p.data()),
                kbtest::nonsmooth_value(1, 2, p.data()));
      EXPECT_EQ(kbtest::nonsmooth_gradient(iprob, 2, p.data()),
                kbtest::nonsmooth_gradient(1, 2, p.data()));
      EXPECT_EQ(kbtest::nonsmooth_hessian(iprob, 2, p.data()),
                kbtest::nonsmooth_hessian(1, 2, p.data()));
    }
  }
  const SetupResult wide = call_setup(26, 5, 5);
  EXPECT_EQ(wide.x, (std::vector<double>{-1.2, 1, 0, 0, 0}));
}

TEST(NonsmoothFallback, ProblemOneFormulas) {
  const double at_one[2] = {1, 1};
  EXPECT_EQ(kbtest::nonsmooth_value(0, 2, at_one), 0.0);
  EXPECT_EQ(kbtest::nonsmooth_gradient(0, 2, at_one), (std::vector<double>{0, 0}));
  EXPECT_EQ(kbtest::nonsmooth_hessian(0, 2, at_one), (std::vector<double>{802, -400, 200}));
  const double p[2] = {2, 3};  // x2 - x1^2 = -1
  EXPECT_EQ(kbtest::nonsmooth_value(1, 2, p), 101.0);
  EXPECT_EQ(kbtest::nonsmooth_gradient(1, 2, p), (std::vector<double>{802, -200}));
  EXPECT_EQ(kbtest::nonsmooth_hessian(1, 2, p), (std::vector<double>{3602, -800, 200}));
}

// Every evaluation routine must leave no entry as the caller had it, whatever the
// problem writes; a sentinel left anywhere means an entry was neither cleared nor set.
TEST(NonsmoothOutputs, EveryRoutineOverwritesAllOfItsOutput) {
  for (int iprob = 0; iprob <= 26; ++iprob) {
    const int min_n = (iprob >= 1 && iprob <= 25) ? kRows[iprob - 1].min_n : 2;
    std::vector<int> dims = {min_n};
    if (!fixed_dimension(iprob)) dims = {min_n, min_n + 1, min_n + 3};
    for (const int n : dims) {
      SCOPED_TRACE(testing::Message() << "iprob " << iprob << " n " << n);
      const kbtest::NonsmoothSetup s = kbtest::setup_nonsmooth(iprob, n);
      ASSERT_EQ(s.ierr, 0);
      EXPECT_NE(kbtest::nonsmooth_value(iprob, n, s.x.data()), kSentinel);
      for (double gi : kbtest::nonsmooth_gradient(iprob, n, s.x.data())) EXPECT_NE(gi, kSentinel);
      for (double hi : kbtest::nonsmooth_hessian(iprob, n, s.x.data())) EXPECT_NE(hi, kSentinel);
    }
  }
}

// A non-positive n names no entries, so nothing of g or h may be touched even where
// n(n+1)/2 comes out positive (n = -3 gives 3): the caller's arrays may be empty.
TEST(NonsmoothOutputs, NonPositiveNWritesOnlyTheValue) {
  for (const int iprob : {1, 5, 11, 23, 24}) {
    for (int n : {0, -1, -2, -3, -7}) {
      SCOPED_TRACE(testing::Message() << "iprob " << iprob << " n " << n);
      const double x[4] = {1, 2, 3, 4};
      double f = kSentinel;
      std::vector<double> out(8, kSentinel);
      tffu19(&n, x, &f, &iprob);
      EXPECT_EQ(f, 0.0);
      tfgu19(&n, x, out.data(), &iprob);
      tfhd19(&n, x, out.data(), &iprob);
      for (double e : out) EXPECT_EQ(e, kSentinel);
    }
  }
}

TEST(NonsmoothDataArea, SetupWithoutDataKeepsAnotherProblemsData) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  const std::vector<double> after12 = data_area();
  ASSERT_EQ(kbtest::setup_nonsmooth(2, 2).ierr, 0);
  EXPECT_EQ(data_area(), after12);
  // The data really is problem 12's: its value at the starting point depends on it.
  const double x[5] = {0, 0, 0, 0, 1};
  EXPECT_EQ(kbtest::nonsmooth_value(12, 5, x), 80.0);
}

TEST(NonsmoothDataArea, EvaluationNeverWritesTheArea) {
  ASSERT_EQ(kbtest::setup_nonsmooth(12, 5).ierr, 0);
  const std::vector<double> before = data_area();
  for (int iprob = 1; iprob <= 12; ++iprob) {
    const double x[6] = {0.3, -1.1, 2, 0.5, -0.25, 7};
    kbtest::nonsmooth_value(iprob, 6, x);
    kbtest::nonsmooth_gradient(iprob, 6, x);
    kbtest::nonsmooth_hessian(iprob, 6, x);
  }
  EXPECT_EQ(data_area(), before);
}

}  // namespace
