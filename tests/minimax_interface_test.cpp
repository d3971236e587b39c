// The minimax collection's interface: entry values, dimension and capacity checks for
// every problem, the problem-number fallback, and which components of x a set-up writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;
using Vec = std::vector<double>;

struct Row {
  int iprob;
  int min_n;
  int min_m;  // capacity needed
  int m;
  int itype;
  double stepmax;
};

// Independent of the library's own table on purpose.
constexpr Row kTable[] = {
    {1, 2, 3, 3, -1, 1000},   {2, 2, 3, 3, -1, 1000},     {3, 2, 2, 2, -1, 1000},
    {4, 3, 6, 6, -1, 1000},   {5, 4, 4, 4, -1, 1000},     {6, 4, 4, 4, -1, 1000},
    {7, 3, 21, 21, 0, 1000},  {8, 3, 15, 15, 0, 1000},    {9, 4, 11, 11, 0, 1000},
    {10, 4, 20, 20, 0, 1000}, {11, 4, 21, 21, 0, 1000},   {12, 4, 21, 21, 0, 1000},
    {13, 4, 61, 61, 0, 1000}, {14, 5, 21, 21, 0, 1000},   {15, 5, 30, 30, 0, 1000},
    {16, 6, 51, 51, 0, 1000}, {17, 6, 11, 11, -1, 1000},  {18, 9, 41, 41, 0, 1000},
    {19, 7, 5, 5, -1, 1000},  {20, 10, 9, 9, -1, 1000},   {21, 20, 18, 18, -1, 1000},
    {22, 10, 2, 2, -1, 1000}, {23, 11, 10, 10, -1, 1000}, {24, 20, 31, 31, 0, 1000},
    {25, 11, 65, 65, 0, 10},
};

// One tiud06 call whose scalar outputs start from values no routine would store.
struct Call {
  int m;
  int itype = 77;
  int ierr = 77;
  double fmin = 77;
  double stepmax = 77;
  Vec x;
};

Call call_setup(int iprob, int n, int capacity, size_t x_size) {
  Call c;
  c.m = capacity;
  c.x.assign(x_size, kSentinel);
  tiud06(&n, &c.m, c.x.data(), &c.fmin, &c.stepmax, &iprob, &c.itype, &c.ierr);
  return c;
}

// A pattern no set-up writes, so that any change to the data area shows.
void fill_data_area() {
  for (int i = 0; i < 123; ++i) empr06[i] = 1000.5 + i;
}

bool data_area_untouched() {
  for (int i = 0; i < 123; ++i) {
    if (empr06[i] != 1000.5 + i) return false;
  }
  return true;
}

// The tests write patterns into the process-wide data area; put back what was there.
class MinimaxInterface : public ::testing::Test {
 protected:
  void SetUp() override { std::copy(empr06, empr06 + 123, saved_); }
  void TearDown() override { std::copy(saved_, saved_ + 123, empr06); }

 private:
  double saved_[123] = {};
};

void expect_rejected(const Call& c, int capacity) {
  EXPECT_EQ(c.ierr, 1);
  EXPECT_EQ(c.m, capacity);
  EXPECT_EQ(c.fmin, -1e60);
  EXPECT_EQ(c.stepmax, 1000);
  EXPECT_EQ(c.itype, -1);
  EXPECT_TRUE(std::all_of(c.x.begin(), c.x.end(), [](double v) { return v == kSentinel; }))
      << "x changed";
  EXPECT_TRUE(data_area_untouched()) << "data area changed";
}

TEST_F(MinimaxInterface, TooSmallDimensionOrCapacityIsRejectedForEveryProblem) {
  for (const Row& r : kTable) {
    SCOPED_TRACE("problem " + std::to_string(r.iprob));
    const auto size = static_cast<size_t>(r.min_n + 2);
    fill_data_area();
    {
      SCOPED_TRACE("n one below the minimum");
      expect_rejected(call_setup(r.iprob, r.min_n - 1, 1000, size), 1000);
    }
    {
      SCOPED_TRACE("capacity one below the minimum");
      expect_rejected(call_setup(r.iprob, r.min_n, r.min_m - 1, size), r.min_m - 1);
    }
    {
      SCOPED_TRACE("both far too small");
      expect_rejected(call_setup(r.iprob, INT_MIN, INT_MIN, size), INT_MIN);
    }
  }
}

TEST_F(MinimaxInterface, MinimumDimensionAndCapacityAreAccepted) {
  for (const Row& r : kTable) {
    for (int capacity : {r.min_m, r.min_m + 1, INT_MAX}) {
      SCOPED_TRACE("problem " + std::to_string(r.iprob) + ", capacity " + std::to_string(capacity));
      const Call c = call_setup(r.iprob, r.min_n, capacity, static_cast<size_t>(r.min_n));
      EXPECT_EQ(c.ierr, 0);
      EXPECT_EQ(c.m, r.m);
      EXPECT_EQ(c.itype, r.itype);
      EXPECT_EQ(c.stepmax, r.stepmax);
      EXPECT_EQ(c.fmin, -1e60);
    }
  }
}

// A rejected set-up must reset the entry values even after a successful one, and must
// leave the data area of the problem set up before it alone.
TEST_F(MinimaxInterface, RejectedCallAfterASuccessfulOneResetsOnlyTheEntryValues) {
  const Call ok = call_setup(25, 11, 65, 11);
  ASSERT_EQ(ok.ierr, 0);
  fill_data_area();
  int n = 10;
  int m = 65;
  int iprob = 25;
  double fmin = 0;
  double stepmax = ok.stepmax;
  int itype = ok.itype;
  int ierr = 0;
  Vec x = ok.x;
  tiud06(&n, &m, x.data(), &fmin, &stepmax, &iprob, &itype, &ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(stepmax, 1000);
  EXPECT_EQ(itype, -1);
  EXPECT_EQ(fmin, -1e60);
  EXPECT_EQ(m, 65);
  EXPECT_EQ(x, ok.x);
  EXPECT_TRUE(data_area_untouched());
}

TEST_F(MinimaxInterface, OtherProblemNumbersBehaveAsProblemOneInAllRoutines) {
  const Call one = call_setup(1, 2, 3, 2);
  ASSERT_EQ(one.x, (Vec{2, 2}));
  const Vec x = {0.7, -1.3};
  fill_data_area();
  for (int iprob : {0, -3, 26, 100, INT_MIN, INT_MAX}) {
    SCOPED_TRACE("iprob " + std::to_string(iprob));
    const Call c = call_setup(iprob, 2, 3, 2);
    EXPECT_EQ(c.ierr, 0);
    EXPECT_EQ(c.m, 3);
    EXPECT_EQ(c.x, one.x);
    EXPECT_EQ(c.itype, -1);
    EXPECT_EQ(c.stepmax, 1000);
    expect_rejected(call_setup(iprob, 1, 3, 2), 3);
    expect_rejected(call_setup(iprob, 2, 2, 2), 2);
    for (int k : {-1, 0, 1, 2, 3, 4, 5}) {
      SCOPED_TRACE("k " + std::to_string(k));
      EXPECT_EQ(kbtest::minimax_value(iprob, 2, k, x.data()),
                kbtest::minimax_value(1, 2, k, x.data()));
      EXPECT_EQ(kbtest::minimax_gradient(iprob, 2, k, x.data()),
                kbtest::minimax_gradient(1, 2, k, x.data()));
      EXPECT_EQ(kbtest::minimax_hessian(iprob, 2, k, x.data()),
                kbtest::minimax_hessian(1, 2, k, x.data()));
    }
  }
  // Problem 1 itself, so the comparisons above are against the right thing.
  EXPECT_EQ(kbtest::minimax_value(1, 2, 1, one.x.data()), 20);
  EXPECT_EQ(kbtest::minimax_hessian(1, 2, 5, one.x.data()), (Vec{2, 0, 2}));
}

// Set-ups write their own leading components of x, or x(1..n) for problems 5 and 6,
// and nothing beyond.
TEST_F(MinimaxInterface, SetUpWritesOnlyTheProblemsComponentsOfX) {
  const double s = kSentinel;
  EXPECT_EQ(call_setup(1, 4, 3, 4).x, (Vec{2, 2, s, s}));
  EXPECT_EQ(call_setup(2, 5, 3, 5).x, (Vec{3, 1, s, s, s}));
  EXPECT_EQ(call_setup(3, 3, 2, 3).x, (Vec{1.41831, -4.79462, s}));
  EXPECT_EQ(call_setup(4, 5, 6, 5).x, (Vec{1, 1, 1, s, s}));
  for (int iprob : {5, 6}) {
    SCOPED_TRACE("problem " + std::to_string(iprob));
    const Call six = call_setup(iprob, 6, 4, 8);
    EXPECT_EQ(six.ierr, 0);
    EXPECT_EQ(six.m, 4);
    EXPECT_EQ(six.x, (Vec{0, 0, 0, 0, 0, 0, s, s}));
    EXPECT_EQ(call_setup(iprob, 4, 4, 5).x, (Vec{0, 0, 0, 0, s}));
  }
}

TEST_F(MinimaxInterface, ProblemsWithoutDataLeaveTheDataAreaAlone) {
  for (int iprob = 1; iprob <= 6; ++iprob) {
    fill_data_area();
    const Call c = call_setup(iprob, 6, 10, 6);
    EXPECT_EQ(c.ierr, 0) << iprob;
    EXPECT_TRUE(data_area_untouched()) << iprob;
  }
}

}  // namespace
