// The C++ objects must give exactly the C routines' bits, report rejected set-ups as
// values, and stay independent of each other and of the process-wide data areas.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <latch>
#include <limits>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "support/harness.hpp"

namespace {

using kbtest::kSentinel;

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<std::vector<double>> points_near(const std::vector<double>& start) {
  std::vector<std::vector<double>> points{start};
  for (unsigned seed = 1; seed <= 3; ++seed) {
    points.push_back(kinkbench::check::nearby_point(start, seed, 0.2));
  }
  return points;
}

void expect_minimax_equivalent(int number, int n) {
  SCOPED_TRACE("minimax problem " + std::to_string(number) + ", n = " + std::to_string(n));
  const auto object = kinkbench::MinimaxProblem::create(number, n, 200);
  ASSERT_TRUE(object.has_value());
  std::vector<double> c_start(static_cast<size_t>(n), 0.0);
  int m = 200, itype = 0, ierr = 0;
  double fmin = 0, stepmax = 0;
  tiud06(&n, &m, c_start.data(), &fmin, &stepmax, &number, &itype, &ierr);
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(object->m(), m);
  EXPECT_EQ(object->itype(), itype);
  EXPECT_EQ(object->fmin(), fmin);
  EXPECT_EQ(object->stepmax(), stepmax);
  EXPECT_TRUE(
      same_bits(std::vector<double>(object->start().begin(), object->start().end()), c_start));
  for (const auto& x : points_near(c_start)) {
    for (int k = 0; k <= m + 1; ++k) {
      double f_object = kSentinel;
      ASSERT_TRUE(object->value(k, x, f_object));
      EXPECT_TRUE(same_bits(f_object, kbtest::minimax_value(number, n, k, x.data()))) << k;
      std::vector<double> g(static_cast<size_t>(n), kSentinel);
      ASSERT_TRUE(object->gradient(k, x, g));
      EXPECT_TRUE(same_bits(g, kbtest::minimax_gradient(number, n, k, x.data()))) << k;
      std::vector<double> h(static_cast<size_t>(kbtest::packed_size(n)), kSentinel);
      ASSERT_TRUE(object->hessian(k, x, h));
      EXPECT_TRUE(same_bits(h, kbtest::minimax_hessian(number, n, k, x.data()))) << k;
    }
  }
}

void expect_nonsmooth_equivalent(int number, int n) {
  SCOPED_TRACE("nonsmooth problem " + std::to_string(number) + ", n = " + std::to_string(n));
  const auto object = kinkbench::NonsmoothProblem::create(number, n);
  ASSERT_TRUE(object.has_value());
  const kbtest::NonsmoothSetup c = kbtest::setup_nonsmooth(number, n);
  ASSERT_EQ(c.ierr, 0);
  EXPECT_EQ(object->fmin(), c.fmin);
  EXPECT_EQ(object->stepmax(), c.stepmax);
  EXPECT_TRUE(same_bits(std::vector<double>(object->start().begin(), object->start().end()), c.x));
  for (const auto& x : points_near(c.x)) {
    double f = kSentinel;
    ASSERT_TRUE(object->value(x, f));
    EXPECT_TRUE(same_bits(f, kbtest::nonsmooth_value(number, n, x.data())));
    std::vector<double> g(static_cast<size_t>(n), kSentinel);
    ASSERT_TRUE(object->gradient(x, g));
    EXPECT_TRUE(same_bits(g, kbtest::nonsmooth_gradient(number, n, x.data())));
    std::vector<double> h(static_cast<size_t>(kbtest::packed_size(n)), kSentinel);
    ASSERT_TRUE(object->hessian(x, h));
    EXPECT_TRUE(same_bits(h, kbtest::nonsmooth_hessian(number, n, x.data())));
  }
}

}  // namespace

TEST(CppApi, MinimaxObjectsMatchTheCRoutinesBitForBit) {
  for (const kinkbench::MinimaxInfo& info : kinkbench::minimax_problems()) {
    expect_minimax_equivalent(info.number, info.min_n);
    expect_minimax_equivalent(info.number, info.min_n + 2);
  }
}

TEST(CppApi, NonsmoothObjectsMatchTheCRoutinesBitForBit) {
  for (const kinkbench::NonsmoothInfo& info : kinkbench::nonsmooth_problems()) {
    expect_nonsmooth_equivalent(info.number, info.min_n);
    if (info.max_n == 0) expect_nonsmooth_equivalent(info.number, info.min_n + 3);
  }
}

TEST(CppApi, RejectedSetUpsAreErrorValues) {
  const auto small = kinkbench::NonsmoothProblem::create(11, 3);
  ASSERT_FALSE(small.has_value());
  EXPECT_EQ(small.error().code, kinkbench::SetupErrorCode::dimension_too_small);
  EXPECT_NE(small.error().message.find("n >= 4"), std::string::npos);

  const auto capacity = kinkbench::MinimaxProblem::create(7, 3, 20);
  ASSERT_FALSE(capacity.has_value());
  EXPECT_EQ(capacity.error().code, kinkbench::SetupErrorCode::capacity_too_small);

  const auto large = kinkbench::NonsmoothProblem::create(16, 11);
  ASSERT_FALSE(large.has_value());
  EXPECT_EQ(large.error().code, kinkbench::SetupErrorCode::dimension_too_large);

  // One n only: the text names it from below as from above, not a lower bound.
  for (const int n : {47, 49}) {
    const auto fixed = kinkbench::NonsmoothProblem::create(21, n);
    ASSERT_FALSE(fixed.has_value());
    EXPECT_EQ(fixed.error().message,
              "nonsmooth problem 21 is defined for n = 48 only, got " + std::to_string(n));
  }
  EXPECT_EQ(kinkbench::NonsmoothProblem::create(16, 9).error().code,
            kinkbench::SetupErrorCode::dimension_too_small);

  EXPECT_FALSE(kinkbench::MinimaxProblem::create(1, 1, 3).has_value());
}

TEST(CppApi, NumbersOutsideTheCollectionAreProblemOne) {
  for (int number : {0, -3, 26}) {
    const auto mm = kinkbench::MinimaxProblem::create(number, 2, 3);
    ASSERT_TRUE(mm.has_value());
    EXPECT_EQ(mm->number(), 1);
    const auto ns = kinkbench::NonsmoothProblem::create(number, 2);
    ASSERT_TRUE(ns.has_value());
    EXPECT_EQ(ns->number(), 1);
  }
}

TEST(CppApi, ShortSpansAreRefusedWithoutWriting) {
  const auto p = kinkbench::MinimaxProblem::create(1, 2, 3);
  ASSERT_TRUE(p.has_value());
  const std::vector<double> x = {2};
  double fk = kSentinel;
  EXPECT_FALSE(p->value(1, x, fk));
  EXPECT_EQ(fk, kSentinel);
  std::vector<double> h(2, kSentinel);
  EXPECT_FALSE(p->hessian(1, p->start(), h));
  EXPECT_EQ(h, std::vector<double>(2, kSentinel));
}

TEST(CppApi, ObjectiveIsTheLargestPartialValueAndItsFirstIndex) {
  const auto p = kinkbench::MinimaxProblem::create(1, 2, 3);
  ASSERT_TRUE(p.has_value());
  const auto at_start = p->objective(p->start());
  EXPECT_EQ(at_start.value, 20);
  EXPECT_EQ(at_start.k, 1);
  // At (0, 0): f1 = 0, f2 = 8, f3 = 2.
  const std::vector<double> origin = {0, 0};
  EXPECT_EQ(p->objective(origin).value, 8);
  EXPECT_EQ(p->objective(origin).k, 2);
}

TEST(CppApi, ValuesAndJacobianAreTheCRoutinesKByK) {
  for (const kinkbench::MinimaxInfo& info : kinkbench::minimax_problems()) {
    for (int n : {info.min_n, info.min_n + 2}) {
      SCOPED_TRACE("minimax problem " + std::to_string(info.number) + ", n = " + std::to_string(n));
      const auto p = kinkbench::MinimaxProblem::create(info.number, n, info.m);
      ASSERT_TRUE(p.has_value());
      kbtest::setup_minimax(info.number, n);
      const size_t m = static_cast<size_t>(p->m());
      const size_t row = static_cast<size_t>(n);
      for (const auto& x : points_near(std::vector<double>(p->start().begin(), p->start().end()))) {
        // One spare entry past the end shows nothing beyond m (m x n) is written.
        std::vector<double> values(m + 1, kSentinel);
        std::vector<double> jacobian(m * row + 1, kSentinel);
        ASSERT_TRUE(p->values(x, values));
        ASSERT_TRUE(p->jacobian(x, jacobian));
        EXPECT_EQ(values[m], kSentinel);
        EXPECT_EQ(jacobian[m * row], kSentinel);
        for (size_t k = 1; k <= m; ++k) {
          const int kk = static_cast<int>(k);
          EXPECT_TRUE(
              same_bits(values[k - 1], kbtest::minimax_value(info.number, n, kk, x.data())));
          // The C routine on a zeroed gradient: undefined entries are 0 in both.
          std::vector<double> g(row, 0.0);
          tagu06(&n, &kk, x.data(), g.data(), &info.number);
          const std::vector<double> jrow(
              jacobian.begin() + static_cast<std::ptrdiff_t>((k - 1) * row),
              jacobian.begin() + static_cast<std::ptrdiff_t>(k * row));
          EXPECT_TRUE(same_bits(jrow, g)) << "k = " << k;
        }
      }
      std::vector<double> short_values(m - 1, kSentinel);
      std::vector<double> short_jacobian(m * row - 1, kSentinel);
      EXPECT_FALSE(p->values(p->start(), short_values));
      EXPECT_FALSE(p->jacobian(p->start(), short_jacobian));
      EXPECT_EQ(short_values, std::vector<double>(m - 1, kSentinel));
      EXPECT_EQ(short_jacobian, std::vector<double>(m * row - 1, kSentinel));
    }
  }
}

TEST(CppApi, DataFitsAreMeasuredByTheLargestAbsoluteResidual) {
  int fits = 0;
  for (const kinkbench::MinimaxInfo& info : kinkbench::minimax_problems()) {
    const auto p = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(p.has_value());
    std::vector<double> f(static_cast<size_t>(p->m()));
    ASSERT_TRUE(p->values(p->start(), f));
    double largest = f[0], largest_abs = std::fabs(f[0]);
    for (double v : f) {
      largest = std::max(largest, v);
      largest_abs = std::max(largest_abs, std::fabs(v));
    }
    const auto objective = p->objective(p->start());
    const auto plain = p->largest(p->start());
    EXPECT_EQ(plain.value, largest) << info.number;
    EXPECT_EQ(f[static_cast<size_t>(plain.k - 1)], largest) << info.number;
    if (info.itype == 0) {
      ++fits;
      EXPECT_STREQ(p->form(), "max |f_k|");
      EXPECT_EQ(objective.value, largest_abs) << info.number;
      EXPECT_EQ(std::fabs(f[static_cast<size_t>(objective.k - 1)]), largest_abs) << info.number;
    } else {
      EXPECT_STREQ(p->form(), "max f_k");
      EXPECT_EQ(objective.value, plain.value);
      EXPECT_EQ(objective.k, plain.k);
    }
  }
  EXPECT_EQ(fits, 13);  // problems 7 to 16, 18, 24 and 25
  // Problem 8 with x1 = 10 lies above every data value: all residuals are negative, so the
  // plain maximum is the smallest misfit and the objective the largest.
  const auto p8 = kinkbench::MinimaxProblem::create(8, 3, 15);
  ASSERT_TRUE(p8.has_value());
  const std::vector<double> above = {10, 1, 1};
  std::vector<double> f8(15);
  ASSERT_TRUE(p8->values(above, f8));
  const auto lowest = std::min_element(f8.begin(), f8.end());
  EXPECT_LT(p8->largest(above).value, 0);
  EXPECT_EQ(p8->objective(above).value, -*lowest);
  EXPECT_EQ(p8->objective(above).k, 1 + (lowest - f8.begin()));
}

// The embedded optima: one per problem at its minimum n, and the library's own objective
// gives exactly the stored value at the stored point (the table's 17-digit numbers must
// read back to the same doubles).
TEST(CppApi, EveryProblemCarriesItsBestKnownOptimum) {
  for (const kinkbench::MinimaxInfo& info : kinkbench::minimax_problems()) {
    const auto p = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(p.has_value());
    const kinkbench::BestKnown* best = p->best_known();
    ASSERT_NE(best, nullptr) << "minimax " << info.number;
    ASSERT_EQ(best->point.size(), static_cast<size_t>(info.min_n));
    EXPECT_TRUE(same_bits(p->objective(best->point).value, best->value)) << info.number;
    EXPECT_FALSE(best->unbounded_below) << info.number;
    EXPECT_EQ(kinkbench::MinimaxProblem::create(info.number, info.min_n + 1, info.m)->best_known(),
              nullptr);
  }
  int unbounded = 0;
  for (const kinkbench::NonsmoothInfo& info : kinkbench::nonsmooth_problems()) {
    const auto p = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    ASSERT_TRUE(p.has_value());
    const kinkbench::BestKnown* best = p->best_known();
    ASSERT_NE(best, nullptr) << "nonsmooth " << info.number;
    double f = 0;
    ASSERT_TRUE(p->value(best->point, f));
    EXPECT_TRUE(same_bits(f, best->value)) << info.number;
    if (best->unbounded_below) {
      ++unbounded;
      EXPECT_STREQ(best->status, "local");
    }
  }
  EXPECT_EQ(unbounded, 3);  // problems 13 and 14 along a ray, 25 along a parabola
  const auto p21 = kinkbench::NonsmoothProblem::create(21, 48);
  EXPECT_EQ(p21->best_known()->value, -638565.0);
  EXPECT_STREQ(p21->best_known()->status, "certified");
}

// Odd input is refused, never a crash: an n no object could hold, and an objective at a
// point shorter than n.
TEST(CppApi, AbsurdInputIsRefusedNotFollowed) {
  for (int n : {kinkbench::kLargestDimension + 1, std::numeric_limits<int>::max()}) {
    const auto mm = kinkbench::MinimaxProblem::create(5, n, 4);
    ASSERT_FALSE(mm.has_value());
    EXPECT_EQ(mm.error().code, kinkbench::SetupErrorCode::dimension_too_large);
    EXPECT_NE(mm.error().message.find("minimax problem 5: n = "), std::string::npos);
    const auto ns = kinkbench::NonsmoothProblem::create(1, n);
    ASSERT_FALSE(ns.has_value());
    EXPECT_EQ(ns.error().code, kinkbench::SetupErrorCode::dimension_too_large);
  }
  EXPECT_TRUE(kinkbench::NonsmoothProblem::create(1, kinkbench::kLargestDimension).has_value());

  const auto p8 = kinkbench::MinimaxProblem::create(8, 3, 15);  // a fit: max |f_k|
  const auto p1 = kinkbench::MinimaxProblem::create(1, 2, 3);
  const std::vector<double> short_x = {1, 1};
  for (const auto* p : {&*p8, &*p1}) {
    const auto refused = p->objective(std::span<const double>(short_x).first(p->n() - 1));
    EXPECT_TRUE(std::isnan(refused.value));
    EXPECT_EQ(refused.k, 0);
    EXPECT_EQ(p->largest(std::span<const double>(short_x).first(p->n() - 1)).k, 0);
    EXPECT_EQ(p->counts().values, 0);
  }
}

TEST(CppApi, ObjectsKeepTheirDataWhateverElseIsSetUp) {
  // Two problems whose data share the first elements of the data area.
  const auto p12 = kinkbench::NonsmoothProblem::create(12, 5);
  const auto p13 = kinkbench::NonsmoothProblem::create(13, 5);
  ASSERT_TRUE(p12.has_value() && p13.has_value());
  double before = 0;
  ASSERT_TRUE(p12->value(p12->start(), before));
  kbtest::setup_nonsmooth(13, 5);  // overwrites the process-wide area
  double after = 0;
  ASSERT_TRUE(p12->value(p12->start(), after));
  EXPECT_TRUE(same_bits(before, after));
}

TEST(CppApi, ConcurrentEvaluationGivesTheSerialResults) {
  std::vector<kinkbench::MinimaxProblem> mm;
  for (int number : {7, 13, 17, 18, 25}) {
    mm.push_back(kinkbench::MinimaxProblem::create(number, 12, 100).value());
  }
  std::vector<kinkbench::NonsmoothProblem> ns;
  for (int number : {12, 13, 16, 18, 21}) {
    const auto& info = kinkbench::nonsmooth_problems()[static_cast<size_t>(number - 1)];
    ns.push_back(kinkbench::NonsmoothProblem::create(number, info.min_n).value());
  }
  auto run_all = [&]() {
    std::vector<double> out;
    for (const auto& p : mm) {
      for (int k = 1; k <= p.m(); ++k) {
        double fk = 0;
        p.value(k, p.start(), fk);
        out.push_back(fk);
        std::vector<double> g(static_cast<size_t>(p.n()), 0.0);
        p.gradient(k, p.start(), g);
        out.insert(out.end(), g.begin(), g.end());
      }
    }
    for (const auto& p : ns) {
      double f = 0;
      p.value(p.start(), f);
      out.push_back(f);
      std::vector<double> g(static_cast<size_t>(p.n()), 0.0);
      p.gradient(p.start(), g);
      out.insert(out.end(), g.begin(), g.end());
    }
    return out;
  };
  const std::vector<double> serial = run_all();
  constexpr int kThreads = 4;
  std::vector<std::vector<double>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int repeat = 0; repeat < 20; ++repeat) results[static_cast<size_t>(t)] = run_all();
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& r : results) EXPECT_TRUE(same_bits(r, serial));
}

// Counting: every call a solver makes must show in exactly one counter, whatever thread
// made it, and nothing else may.
namespace {

using MinimaxCounts = kinkbench::MinimaxProblem::Counts;
using NonsmoothCounts = kinkbench::NonsmoothProblem::Counts;

std::string str(const MinimaxCounts& c) {
  return "{values " + std::to_string(c.values) + ", jacobians " + std::to_string(c.jacobians) +
         ", partial " + std::to_string(c.partial_values) + "/" +
         std::to_string(c.partial_gradients) + "/" + std::to_string(c.partial_hessians) + "}";
}

std::string str(const NonsmoothCounts& c) {
  return "{values " + std::to_string(c.values) + ", gradients " + std::to_string(c.gradients) +
         ", hessians " + std::to_string(c.hessians) + "}";
}

}  // namespace

TEST(CppApi, EachMinimaxCallCountsOnceInItsOwnCounterUnlessRefused) {
  // Problem 1 is max f_k; problem 8 a data fit, whose objective takes another path.
  for (int number : {1, 8}) {
    const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(number - 1)];
    const auto p = kinkbench::MinimaxProblem::create(number, info.min_n, info.m);
    ASSERT_TRUE(p.has_value());
    const auto x = p->start();
    const auto short_x = x.first(x.size() - 1);
    std::vector<double> out(static_cast<size_t>(p->m() * p->n()) + 10, 0.0);
    const auto short_out = std::span<double>(out).first(static_cast<size_t>(p->n()) - 1);
    double fk = 0;
    struct Case {
      const char* call;
      std::function<bool()> run;  // false: the call was refused
      MinimaxCounts counted;
    };
    const Case cases[] = {
        {"value", [&] { return p->value(2, x, fk); }, {0, 0, 1, 0, 0}},
        {"value, k outside 1..m", [&] { return p->value(0, x, fk); }, {0, 0, 1, 0, 0}},
        {"value, short x", [&] { return p->value(1, short_x, fk); }, {}},
        {"gradient", [&] { return p->gradient(1, x, out); }, {0, 0, 0, 1, 0}},
        {"gradient, short output", [&] { return p->gradient(1, x, short_out); }, {}},
        {"hessian", [&] { return p->hessian(1, x, out); }, {0, 0, 0, 0, 1}},
        {"hessian, short output", [&] { return p->hessian(1, x, short_out); }, {}},
        {"values", [&] { return p->values(x, out); }, {1, 0, 0, 0, 0}},
        {"values, short x", [&] { return p->values(short_x, out); }, {}},
        {"jacobian", [&] { return p->jacobian(x, out); }, {0, 1, 0, 0, 0}},
        {"jacobian, short output", [&] { return p->jacobian(x, short_out); }, {}},
        {"objective", [&] { return p->objective(x).k >= 1; }, {1, 0, 0, 0, 0}},
        {"largest", [&] { return p->largest(x).k >= 1; }, {1, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string("minimax problem ") + std::to_string(number) + ", " + c.call);
      p->reset_counts();
      const bool accepted = c.run();
      EXPECT_EQ(accepted, c.counted != MinimaxCounts{});
      EXPECT_EQ(p->counts(), c.counted) << str(p->counts());
    }
  }
}

TEST(CppApi, EachNonsmoothCallCountsOnceInItsOwnCounterUnlessRefused) {
  const auto p = kinkbench::NonsmoothProblem::create(11, 4);
  ASSERT_TRUE(p.has_value());
  const auto x = p->start();
  const auto short_x = x.first(3);
  std::vector<double> out(10, 0.0);
  const auto short_out = std::span<double>(out).first(3);
  double f = 0;
  struct Case {
    const char* call;
    std::function<bool()> run;
    NonsmoothCounts counted;
  };
  const Case cases[] = {
      {"value", [&] { return p->value(x, f); }, {1, 0, 0}},
      {"value, short x", [&] { return p->value(short_x, f); }, {}},
      {"gradient", [&] { return p->gradient(x, out); }, {0, 1, 0}},
      {"gradient, short output", [&] { return p->gradient(x, short_out); }, {}},
      {"hessian", [&] { return p->hessian(x, out); }, {0, 0, 1}},
      {"hessian, short output", [&] { return p->hessian(x, short_out); }, {}},
      {"hessian, short x", [&] { return p->hessian(short_x, out); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    p->reset_counts();
    const bool accepted = c.run();
    EXPECT_EQ(accepted, c.counted != NonsmoothCounts{});
    EXPECT_EQ(p->counts(), c.counted) << str(p->counts());
  }
}

TEST(CppApi, ResetReturnsTheCountsAndStartsFromZero) {
  const auto p = kinkbench::NonsmoothProblem::create(1, 2);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->counts(), (NonsmoothCounts{0, 0, 0}));
  double f = 0;
  std::vector<double> g(2);
  for (int i = 0; i < 3; ++i) p->value(p->start(), f);
  p->gradient(p->start(), g);
  EXPECT_EQ(p->reset_counts(), (NonsmoothCounts{3, 1, 0}));
  EXPECT_EQ(p->counts(), (NonsmoothCounts{0, 0, 0}));
  p->value(p->start(), f);
  EXPECT_EQ(p->reset_counts(), (NonsmoothCounts{1, 0, 0}));
}

TEST(CppApi, CopiesAndMovesKeepTheCountsAndCountOnTheirOwn) {
  static_assert(std::is_nothrow_move_constructible_v<kinkbench::MinimaxProblem>);
  static_assert(std::is_nothrow_move_constructible_v<kinkbench::NonsmoothProblem>);
  kinkbench::MinimaxProblem original = kinkbench::MinimaxProblem::create(1, 2, 3).value();
  double fk = 0;
  original.value(1, original.start(), fk);
  original.value(2, original.start(), fk);

  kinkbench::MinimaxProblem copy = original;
  EXPECT_EQ(copy.counts(), original.counts());
  copy.value(1, copy.start(), fk);
  EXPECT_EQ(copy.counts().partial_values, 3);
  EXPECT_EQ(original.counts().partial_values, 2);

  kinkbench::MinimaxProblem assigned = kinkbench::MinimaxProblem::create(2, 2, 3).value();
  assigned = copy;
  EXPECT_EQ(assigned.counts().partial_values, 3);

  const kinkbench::MinimaxProblem moved = std::move(copy);
  EXPECT_EQ(moved.counts().partial_values, 3);
  EXPECT_TRUE(moved.value(3, moved.start(), fk));
  EXPECT_EQ(moved.counts().partial_values, 4);

  std::vector<kinkbench::NonsmoothProblem> grown;
  grown.push_back(kinkbench::NonsmoothProblem::create(1, 2).value());
  double f = 0;
  grown[0].value(grown[0].start(), f);
  for (int i = 0; i < 8; ++i) grown.push_back(grown[0]);  // reallocates, moving grown[0]
  EXPECT_EQ(grown[0].counts().values, 1);
  EXPECT_EQ(grown[8].counts().values, 1);
  EXPECT_TRUE(grown[0].value(grown[0].start(), f));
  EXPECT_EQ(grown[0].counts().values, 2);
}

TEST(CppApi, CountsFromManyThreadsAreExact) {
  const auto mm = kinkbench::MinimaxProblem::create(1, 2, 3);
  const auto ns = kinkbench::NonsmoothProblem::create(1, 2);
  ASSERT_TRUE(mm && ns);
  constexpr int kThreads = 6;
  constexpr int kRounds = 20000;
  // While the evaluating threads run, another takes the counts away again and again: a
  // call lost between reading and clearing would show in the sums.
  std::atomic<bool> done{false};
  MinimaxCounts mm_taken{};
  NonsmoothCounts ns_taken{};
  std::thread taker([&] {
    while (!done.load()) {
      const auto a = mm->reset_counts();
      mm_taken.values += a.values;
      mm_taken.jacobians += a.jacobians;
      mm_taken.partial_values += a.partial_values;
      mm_taken.partial_gradients += a.partial_gradients;
      mm_taken.partial_hessians += a.partial_hessians;
      const auto b = ns->reset_counts();
      ns_taken.values += b.values;
      ns_taken.gradients += b.gradients;
      ns_taken.hessians += b.hessians;
    }
  });
  std::latch start(kThreads);  // all at once, or two cores may run them one after another
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      start.arrive_and_wait();
      std::vector<double> out(6);
      double f = 0;
      for (int i = 0; i < kRounds; ++i) {
        mm->value(1 + i % 3, mm->start(), f);
        mm->gradient(1, mm->start(), out);
        mm->hessian(1, mm->start(), out);
        mm->values(mm->start(), out);
        mm->jacobian(mm->start(), out);
        (void)mm->objective(mm->start());
        ns->value(ns->start(), f);
        ns->gradient(ns->start(), out);
        ns->hessian(ns->start(), out);
        ns->hessian(ns->start(), std::span<double>(out).first(2));  // refused
      }
    });
  }
  for (auto& thread : threads) thread.join();
  done = true;
  taker.join();
  const auto mm_left = mm->counts();
  const auto ns_left = ns->counts();
  constexpr std::int64_t kCalls = std::int64_t{kThreads} * kRounds;
  EXPECT_EQ(mm_taken.values + mm_left.values, 2 * kCalls);
  EXPECT_EQ(mm_taken.jacobians + mm_left.jacobians, kCalls);
  EXPECT_EQ(mm_taken.partial_values + mm_left.partial_values, kCalls);
  EXPECT_EQ(mm_taken.partial_gradients + mm_left.partial_gradients, kCalls);
  EXPECT_EQ(mm_taken.partial_hessians + mm_left.partial_hessians, kCalls);
  EXPECT_EQ(ns_taken.values + ns_left.values, kCalls);
  EXPECT_EQ(ns_taken.gradients + ns_left.gradients, kCalls);
  EXPECT_EQ(ns_taken.hessians + ns_left.hessians, kCalls);
}

namespace {

template <class Area>
std::vector<double> copy_area(const Area& area) {
  return std::vector<double>(std::begin(area), std::end(area));
}

std::vector<double> to_vector(std::span<const double> s) { return {s.begin(), s.end()}; }

}  // namespace

// data() is the whole private area: what the set-up writes, and zero everywhere else,
// whatever other objects or C set-ups came before.
TEST(CppApi, DataIsTheSetUpsWritesOnAZeroArea) {
  const auto other_mm = kinkbench::MinimaxProblem::create(25, 11, 65);
  const auto other_ns = kinkbench::NonsmoothProblem::create(21, 48);
  ASSERT_TRUE(other_mm && other_ns);
  for (const auto& info : kinkbench::minimax_problems()) {
    kbtest::setup_minimax(25, 11);  // leaves data in the process-wide area
    const auto object = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(object.has_value());
    std::memset(empr06, 0, sizeof empr06);
    kbtest::setup_minimax(info.number, info.min_n, info.m);
    EXPECT_TRUE(same_bits(to_vector(object->data()), copy_area(empr06))) << info.number;
  }
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    kbtest::setup_nonsmooth(21, 48);
    const auto object = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    ASSERT_TRUE(object.has_value());
    std::memset(empr19, 0, sizeof empr19);
    kbtest::setup_nonsmooth(info.number, info.min_n);
    EXPECT_TRUE(same_bits(to_vector(object->data()), copy_area(empr19))) << info.number;
  }
}

// min_n() is the smallest n create accepts; reads_data() says whether the evaluations
// depend on the data area (checked by spoiling the area under the C routines).
TEST(CppApi, MinNAndReadsDataDescribeTheProblem) {
  for (const auto& info : kinkbench::minimax_problems()) {
    SCOPED_TRACE("minimax problem " + std::to_string(info.number));
    const auto p = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->min_n(), info.min_n);
    EXPECT_FALSE(kinkbench::MinimaxProblem::create(info.number, p->min_n() - 1, info.m));
    const int n = p->n();
    const auto evaluations = [&] {
      std::vector<double> out;
      for (int k = 1; k <= p->m(); ++k) {
        out.push_back(kbtest::minimax_value(info.number, n, k, p->start().data()));
        const auto g = kbtest::minimax_gradient(info.number, n, k, p->start().data());
        out.insert(out.end(), g.begin(), g.end());
      }
      return out;
    };
    kbtest::setup_minimax(info.number, n, info.m);
    const std::vector<double> clean = evaluations();
    for (double& d : empr06) d = d * 1.25 + 0.375;
    EXPECT_EQ(!same_bits(evaluations(), clean), p->reads_data());
  }
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    SCOPED_TRACE("nonsmooth problem " + std::to_string(info.number));
    const auto p = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->min_n(), info.min_n);
    EXPECT_FALSE(kinkbench::NonsmoothProblem::create(info.number, p->min_n() - 1));
    const int n = p->n();
    const auto evaluations = [&] {
      std::vector<double> out{kbtest::nonsmooth_value(info.number, n, p->start().data())};
      const auto g = kbtest::nonsmooth_gradient(info.number, n, p->start().data());
      out.insert(out.end(), g.begin(), g.end());
      return out;
    };
    kbtest::setup_nonsmooth(info.number, n);
    const std::vector<double> clean = evaluations();
    for (double& d : empr19) d = d * 1.25 + 0.375;
    EXPECT_EQ(!same_bits(evaluations(), clean), p->reads_data());
  }
}

// Every evaluation refuses, writing nothing, an x, gradient or Hessian one entry short.
TEST(CppApi, InputsAndOutputsOneEntryShortAreRefusedUntouched) {
  const auto untouched = [](const std::vector<double>& v) {
    return v == std::vector<double>(v.size(), kSentinel);
  };
  for (const auto& info : kinkbench::minimax_problems()) {
    SCOPED_TRACE("minimax problem " + std::to_string(info.number));
    const auto p = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(p.has_value());
    const auto n = static_cast<size_t>(p->n());
    const std::vector<double> x(p->start().begin(), p->start().end() - 1);
    std::vector<double> g(n - 1, kSentinel), h(n * (n + 1) / 2 - 1, kSentinel);
    std::vector<double> full_g(n, kSentinel), full_h(n * (n + 1) / 2, kSentinel);
    double fk = kSentinel;
    EXPECT_FALSE(p->value(1, x, fk));
    EXPECT_FALSE(p->gradient(1, x, full_g));
    EXPECT_FALSE(p->hessian(1, x, full_h));
    EXPECT_FALSE(p->gradient(1, p->start(), g));
    EXPECT_FALSE(p->hessian(1, p->start(), h));
    EXPECT_EQ(fk, kSentinel);
    EXPECT_TRUE(untouched(g) && untouched(h) && untouched(full_g) && untouched(full_h));
  }
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    SCOPED_TRACE("nonsmooth problem " + std::to_string(info.number));
    const auto p = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    ASSERT_TRUE(p.has_value());
    const auto n = static_cast<size_t>(p->n());
    const std::vector<double> x(p->start().begin(), p->start().end() - 1);
    std::vector<double> g(n - 1, kSentinel), h(n * (n + 1) / 2 - 1, kSentinel);
    std::vector<double> full_g(n, kSentinel), full_h(n * (n + 1) / 2, kSentinel);
    double f = kSentinel;
    EXPECT_FALSE(p->value(x, f));
    EXPECT_FALSE(p->gradient(x, full_g));
    EXPECT_FALSE(p->hessian(x, full_h));
    EXPECT_FALSE(p->gradient(p->start(), g));
    EXPECT_FALSE(p->hessian(p->start(), h));
    EXPECT_EQ(f, kSentinel);
    EXPECT_TRUE(untouched(g) && untouched(h) && untouched(full_g) && untouched(full_h));
  }
}
