// No routine of either collection may touch the heap: they run millions of times inside
// solver benchmarks. This binary replaces the global allocation functions and counts
// every allocation made while a routine runs.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "counting_new.hpp"
#include "kinkbench/kinkbench.h"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "kinkbench/pieces.hpp"

using kbtest::allocations_in;

TEST(Allocation, CounterSeesAnAllocation) {
  EXPECT_EQ(allocations_in([] { std::vector<double> v(3); }), 1);
}

TEST(Allocation, MinimaxRoutinesNeverAllocate) {
  for (const auto& info : kinkbench::minimax_problems()) {
    int n = info.min_n + 1, m = info.m, iprob = info.number, itype = 0, ierr = 0;
    double fmin = 0, stepmax = 0, fk = 0;
    std::vector<double> x(static_cast<size_t>(n), 0.0);
    std::vector<double> out(static_cast<size_t>(n * (n + 1) / 2), 0.0);
    EXPECT_EQ(allocations_in([&] {
                tiud06(&n, &m, x.data(), &fmin, &stepmax, &iprob, &itype, &ierr);
                for (int k = 1; k <= m; ++k) {
                  tafu06(&n, &k, x.data(), &fk, &iprob);
                  tagu06(&n, &k, x.data(), out.data(), &iprob);
                  tahd06(&n, &k, x.data(), out.data(), &iprob);
                }
              }),
              0)
        << "minimax problem " << info.number;
  }
}

TEST(Allocation, NonsmoothRoutinesNeverAllocate) {
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    int n = info.min_n, iprob = info.number, ierr = 0;
    double fmin = 0, stepmax = 0, f = 0;
    std::vector<double> x(static_cast<size_t>(n), 0.0);
    std::vector<double> out(static_cast<size_t>(n * (n + 1) / 2), 0.0);
    EXPECT_EQ(allocations_in([&] {
                tiud19(&n, x.data(), &fmin, &stepmax, &iprob, &ierr);
                tffu19(&n, x.data(), &f, &iprob);
                tfgu19(&n, x.data(), out.data(), &iprob);
                tfhd19(&n, x.data(), out.data(), &iprob);
              }),
              0)
        << "nonsmooth problem " << info.number;
  }
}

TEST(Allocation, ObjectEvaluationNeverAllocates) {
  const auto mm = kinkbench::MinimaxProblem::create(17, 6, 11);
  const auto ns = kinkbench::NonsmoothProblem::create(21, 48);
  ASSERT_TRUE(mm && ns);
  std::vector<double> out(48 * 49 / 2, 0.0);
  EXPECT_EQ(allocations_in([&] {
              double v = 0;
              mm->value(1, mm->start(), v);
              mm->hessian(1, mm->start(), out);
              (void)mm->objective(mm->start());
              (void)mm->largest(mm->start());
              mm->values(mm->start(), out);
              mm->jacobian(mm->start(), out);
              ns->value(ns->start(), v);
              ns->gradient(ns->start(), out);
              (void)mm->counts();
              (void)mm->reset_counts();
              (void)ns->counts();
              (void)ns->reset_counts();
            }),
            0);
}

// The decomposition's evaluation, activity and least-norm solve use only the caller's
// spans and a workspace made beforehand, for every problem of both collections.
TEST(Allocation, PiecesActiveAndStationarityNeverAllocate) {
  auto check = [](const kinkbench::Pieces& p, std::span<const double> x, const char* name,
                  int number) {
    kinkbench::PieceWorkspace ws(p);
    const auto n = static_cast<size_t>(p.n());
    const auto count = static_cast<size_t>(p.piece_count());
    std::vector<double> ds(n), phi(count), dphi(count * n), lambda(count), z(n);
    double s = 0;
    EXPECT_EQ(allocations_in([&] {
                p.evaluate(x, s, ds, phi, dphi);
                (void)p.objective(s, phi);
                p.active(x, 1e-6, ws);
                // A generous eps makes the solver work on many active pieces.
                (void)p.stationarity(x, 1e3, ws, lambda, z);
                (void)p.stationarity(x, 0, ws, lambda, z);
              }),
              0)
        << name << " problem " << number;
  };
  for (const auto& info : kinkbench::minimax_problems()) {
    const auto q = kinkbench::MinimaxProblem::create(info.number, info.min_n, info.m);
    check(kinkbench::Pieces(*q), q->start(), "minimax", info.number);
  }
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    const auto q = kinkbench::NonsmoothProblem::create(info.number, info.min_n);
    check(kinkbench::Pieces(*q), q->start(), "nonsmooth", info.number);
  }
}
