// Cost per variable of minimax problem 24's objective (all 31 partial functions) as n
// grows: its formula is linear in n, so the figures should stay flat.
//
// usage: kinkbench_minimax24_scaling [REPEATS]
// Prints, per n, the best process CPU time of one objective evaluation over REPEATS and
// that time per variable, then the ratio of the largest to the smallest per-variable cost.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "kinkbench/minimax.hpp"

namespace {

double cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
  double checksum = 0;
  double lowest = std::numeric_limits<double>::infinity();
  double highest = 0;
  std::printf("%6s %12s %14s\n", "n", "objective us", "ns per variable");
  for (int n : {100, 250, 500, 1000, 2000, 3000, 4000, 8000, 16000}) {
    const auto p = kinkbench::MinimaxProblem::create(24, n, 31);
    if (!p) {
      std::fprintf(stderr, "kinkbench_minimax24_scaling: %s\n", p.error().message.c_str());
      return 2;
    }
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = std::sin(0.7 * i + 0.3);
    // Small n get more calls per timing so that the clock's grain does not show.
    const int calls = std::max(1, 20000 / n);
    double best = std::numeric_limits<double>::infinity();
    for (int r = 0; r < repeats; ++r) {
      const double start = cpu_ns();
      for (int c = 0; c < calls; ++c) checksum += p->objective(x).value;
      best = std::min(best, (cpu_ns() - start) / calls);
    }
    const double per_variable = best / n;
    lowest = std::min(lowest, per_variable);
    highest = std::max(highest, per_variable);
    std::printf("%6d %12.1f %14.2f\n", n, best / 1e3, per_variable);
  }
  std::printf("largest / smallest cost per variable: %.2f (checksum %.17g)\n", highest / lowest,
              checksum);
  return 0;
}
