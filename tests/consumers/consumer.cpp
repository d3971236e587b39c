// A C++ program built against an installed kinkbench.
#include <cstdio>
#include <kinkbench/minimax.hpp>
#include <kinkbench/nonsmooth.hpp>

int main() {
  const auto mm = kinkbench::MinimaxProblem::create(1, 2, 3);
  const auto ns = kinkbench::NonsmoothProblem::create(11, 4);
  if (!mm || !ns) return 1;
  const auto objective = mm->objective(mm->start());
  double f = -1;
  ns->value(ns->start(), f);
  std::printf("C++ consumer: max f_k = %g at k = %d, nonsmooth f = %g, %zu problems\n",
              objective.value, objective.k, f, kinkbench::minimax_problems().size());
  return (objective.value == 20 && f == 0) ? 0 : 1;
}
