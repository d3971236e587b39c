// Cost of one call of the C++ objects' evaluation members, next to the C routine doing the
// same work, so that the objects' own overhead (span checks, counting) shows as the
// difference. Items are calls (minimax value/gradient make m per iteration), so
// 1e9 / items_per_second is ns per call: CPU time, which a loaded machine disturbs less
// than the wall clock, except for the threaded benchmark, whose figure is wall time over
// the calls of all threads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "kinkbench/kinkbench.h"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;

MinimaxProblem make_minimax(int number) {
  const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(number - 1)];
  return MinimaxProblem::create(number, info.min_n, info.m).value();
}

NonsmoothProblem make_nonsmooth(int number) {
  const auto& info = kinkbench::nonsmooth_problems()[static_cast<size_t>(number - 1)];
  return NonsmoothProblem::create(number, info.min_n).value();
}

// f_k one k at a time, k = 1..m, through the C routine: the reference for the next two.
void c_minimax_value(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  int n = p.n(), m = p.m(), iprob = number, itype = 0, ierr = 0;
  double fmin = 0, stepmax = 0, fk = 0;
  std::vector<double> x(static_cast<size_t>(n));
  tiud06(&n, &m, x.data(), &fmin, &stepmax, &iprob, &itype, &ierr);
  for (auto _ : state) {
    for (int k = 1; k <= m; ++k) {
      tafu06(&n, &k, x.data(), &fk, &iprob);
      benchmark::DoNotOptimize(fk);
    }
  }
  state.SetItemsProcessed(state.iterations() * m);
}

void minimax_value(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  double fk = 0;
  for (auto _ : state) {
    for (int k = 1; k <= p.m(); ++k) {
      p.value(k, p.start(), fk);
      benchmark::DoNotOptimize(fk);
    }
  }
  state.SetItemsProcessed(state.iterations() * p.m());
}

void minimax_gradient(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  std::vector<double> g(static_cast<size_t>(p.n()));
  for (auto _ : state) {
    for (int k = 1; k <= p.m(); ++k) {
      p.gradient(k, p.start(), g);
      benchmark::DoNotOptimize(g.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * p.m());
}

void minimax_values(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  std::vector<double> f(static_cast<size_t>(p.m()));
  for (auto _ : state) {
    p.values(p.start(), f);
    benchmark::DoNotOptimize(f.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void minimax_jacobian(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  std::vector<double> j(static_cast<size_t>(p.m() * p.n()));
  for (auto _ : state) {
    p.jacobian(p.start(), j);
    benchmark::DoNotOptimize(j.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void minimax_objective(benchmark::State& state, int number) {
  const MinimaxProblem p = make_minimax(number);
  for (auto _ : state) benchmark::DoNotOptimize(p.objective(p.start()));
  state.SetItemsProcessed(state.iterations());
}

void c_nonsmooth_value(benchmark::State& state, int number) {
  const NonsmoothProblem p = make_nonsmooth(number);
  int n = p.n(), iprob = number, ierr = 0;
  double fmin = 0, stepmax = 0, f = 0;
  std::vector<double> x(static_cast<size_t>(n));
  tiud19(&n, x.data(), &fmin, &stepmax, &iprob, &ierr);
  for (auto _ : state) {
    tffu19(&n, x.data(), &f, &iprob);
    benchmark::DoNotOptimize(f);
  }
  state.SetItemsProcessed(state.iterations());
}

void nonsmooth_value(benchmark::State& state, int number) {
  const NonsmoothProblem p = make_nonsmooth(number);
  double f = 0;
  for (auto _ : state) {
    p.value(p.start(), f);
    benchmark::DoNotOptimize(f);
  }
  state.SetItemsProcessed(state.iterations());
}

void nonsmooth_gradient(benchmark::State& state, int number) {
  const NonsmoothProblem p = make_nonsmooth(number);
  std::vector<double> g(static_cast<size_t>(p.n()));
  for (auto _ : state) {
    p.gradient(p.start(), g);
    benchmark::DoNotOptimize(g.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

// Every thread evaluates one shared object, as a parallel solver would.
const NonsmoothProblem& shared_nonsmooth_1() {
  static const NonsmoothProblem p = make_nonsmooth(1);
  return p;
}

void nonsmooth_value_shared(benchmark::State& state) {
  const NonsmoothProblem& p = shared_nonsmooth_1();
  double f = 0;
  for (auto _ : state) {
    p.value(p.start(), f);
    benchmark::DoNotOptimize(f);
  }
  state.SetItemsProcessed(state.iterations());
}

using Body = void (*)(benchmark::State&, int);

const bool registered = [] {
  struct Entry {
    const char* name;
    Body body;
  };
  const Entry minimax[] = {{"c_value", c_minimax_value},   {"value", minimax_value},
                           {"gradient", minimax_gradient}, {"values", minimax_values},
                           {"jacobian", minimax_jacobian}, {"objective", minimax_objective}};
  const Entry nonsmooth[] = {
      {"c_value", c_nonsmooth_value}, {"value", nonsmooth_value}, {"gradient", nonsmooth_gradient}};
  char name[64];
  // A cheap problem, where any per-call overhead shows, and a costlier one.
  for (int number : {1, 17}) {
    for (const Entry& e : minimax) {
      std::snprintf(name, sizeof name, "api/minimax/%d/%s", number, e.name);
      benchmark::RegisterBenchmark(name, [number, e](benchmark::State& s) { e.body(s, number); });
    }
    for (const Entry& e : nonsmooth) {
      std::snprintf(name, sizeof name, "api/nonsmooth/%d/%s", number, e.name);
      benchmark::RegisterBenchmark(name, [number, e](benchmark::State& s) { e.body(s, number); });
    }
  }
  benchmark::RegisterBenchmark("api/nonsmooth/1/value_shared", nonsmooth_value_shared)
      ->Threads(1)
      ->Threads(2)
      ->UseRealTime();
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
