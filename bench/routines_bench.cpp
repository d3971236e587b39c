// Cost of one call of each routine at each problem's starting point. Minimax timings
// cover all k = 1..m in one iteration and are divided by m, so they are per call too.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "kinkbench/kinkbench.h"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

enum class Routine { value, gradient, hessian };

const char* name_of(Routine r) {
  return r == Routine::value ? "value" : r == Routine::gradient ? "gradient" : "hessian";
}

void minimax(benchmark::State& state, int iprob, Routine routine) {
  const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(iprob - 1)];
  int n = info.min_n, m = info.m, itype = 0, ierr = 0;
  double fmin = 0, stepmax = 0;
  std::vector<double> x(static_cast<size_t>(n), 0.0);
  tiud06(&n, &m, x.data(), &fmin, &stepmax, &iprob, &itype, &ierr);
  std::vector<double> out(static_cast<size_t>(n * (n + 1) / 2), 0.0);
  for (auto _ : state) {
    for (int k = 1; k <= m; ++k) {
      switch (routine) {
        case Routine::value:
          tafu06(&n, &k, x.data(), out.data(), &iprob);
          break;
        case Routine::gradient:
          tagu06(&n, &k, x.data(), out.data(), &iprob);
          break;
        case Routine::hessian:
          tahd06(&n, &k, x.data(), out.data(), &iprob);
          break;
      }
      benchmark::DoNotOptimize(out.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * m);
  state.counters["n"] = n;
  state.counters["m"] = m;
}

void nonsmooth(benchmark::State& state, int iprob, Routine routine) {
  const auto& info = kinkbench::nonsmooth_problems()[static_cast<size_t>(iprob - 1)];
  int n = info.min_n, ierr = 0;
  double fmin = 0, stepmax = 0;
  std::vector<double> x(static_cast<size_t>(n), 0.0);
  tiud19(&n, x.data(), &fmin, &stepmax, &iprob, &ierr);
  std::vector<double> out(static_cast<size_t>(n * (n + 1) / 2), 0.0);
  for (auto _ : state) {
    switch (routine) {
      case Routine::value:
        tffu19(&n, x.data(), out.data(), &iprob);
        break;
      case Routine::gradient:
        tfgu19(&n, x.data(), out.data(), &iprob);
        break;
      case Routine::hessian:
        tfhd19(&n, x.data(), out.data(), &iprob);
        break;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["n"] = n;
  state.counters["m"] = 1;
}

const bool registered = [] {
  for (int p = 1; p <= 25; ++p) {
    for (Routine r : {Routine::value, Routine::gradient, Routine::hessian}) {
      char name[48];
      std::snprintf(name, sizeof name, "minimax/%d/%s", p, name_of(r));
      benchmark::RegisterBenchmark(name, [p, r](benchmark::State& s) { minimax(s, p, r); });
      std::snprintf(name, sizeof name, "nonsmooth/%d/%s", p, name_of(r));
      benchmark::RegisterBenchmark(name, [p, r](benchmark::State& s) { nonsmooth(s, p, r); });
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
