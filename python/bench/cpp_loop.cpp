// C++ side of python/bench/benchmark.py: the evaluations the Python batch calls make, as a
// plain loop over the same points, timed with a steady clock.
//
// usage: kinkbench_python_bench minimax|nonsmooth NUMBER N COUNT REPEATS < points
// stdin holds COUNT*N doubles as raw native bytes; prints the best nanoseconds per point
// over REPEATS passes for: value (k = 1 for minimax) over the points, value COUNT times at
// the first point ("single", what one Python call wraps), values (minimax), and, to keep
// the work observable, a checksum of the results.
//
// usage: kinkbench_python_bench hessian minimax|nonsmooth NUMBER N K REPEATS
// prints the best nanoseconds of one packed Hessian (of f_K for minimax) at the start
// plus 0.01 into a triangle the program owns and has written once before ("hessian"). Process CPU
// time, not wall time: the machine is shared, and a preempted pass would otherwise count another
// process's work.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

double cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

template <class Pass>
double best_ns_per_point(int repeats, std::size_t count, Pass&& pass) {
  double best = std::numeric_limits<double>::infinity();
  for (int r = 0; r < repeats; ++r) {
    const double start = cpu_ns();
    pass();
    best = std::min(best, (cpu_ns() - start) / static_cast<double>(count));
  }
  return best;
}

int fail(const std::string& why) {
  std::fprintf(stderr, "kinkbench_python_bench: %s\n", why.c_str());
  return 2;
}

}  // namespace

// The packed Hessian into memory the caller owns: the floor of the Python packed Hessian.
int hessian_main(char** argv) {
  const std::string collection = argv[2];
  const int number = std::atoi(argv[3]);
  const int n = std::atoi(argv[4]);
  const int k = std::atoi(argv[5]);
  const int repeats = std::atoi(argv[6]);
  std::vector<double> triangle(static_cast<std::size_t>(n) * (static_cast<std::size_t>(n) + 1) / 2,
                               0.0);
  double best = std::numeric_limits<double>::infinity();
  if (collection == "minimax") {
    const auto p = kinkbench::MinimaxProblem::create(number, n, 1000);
    if (!p) return fail(p.error().message);
    std::vector<double> x(p->start().begin(), p->start().end());
    for (double& v : x) v += 0.01;
    best = best_ns_per_point(repeats, 1, [&] { p->hessian(k, x, triangle); });
  } else if (collection == "nonsmooth") {
    const auto p = kinkbench::NonsmoothProblem::create(number, n);
    if (!p) return fail(p.error().message);
    std::vector<double> x(p->start().begin(), p->start().end());
    for (double& v : x) v += 0.01;
    best = best_ns_per_point(repeats, 1, [&] { p->hessian(x, triangle); });
  } else {
    return fail("unknown collection '" + collection + "'");
  }
  double checksum = 0;
  for (double v : triangle) checksum += v;
  std::printf("hessian %.0f\nchecksum %.17g\n", best, checksum);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "hessian") return hessian_main(argv);
  if (argc != 6) return fail("usage: minimax|nonsmooth NUMBER N COUNT REPEATS < points");
  const std::string collection = argv[1];
  const int number = std::atoi(argv[2]);
  const int n = std::atoi(argv[3]);
  const auto count = static_cast<std::size_t>(std::atol(argv[4]));
  const int repeats = std::atoi(argv[5]);
  const auto un = static_cast<std::size_t>(n);
  std::vector<double> points(count * un);
  if (std::fread(points.data(), sizeof(double), points.size(), stdin) != points.size()) {
    return fail("stdin holds fewer than COUNT*N doubles");
  }
  std::vector<double> out(count);
  double checksum = 0;
  if (collection == "minimax") {
    const auto p = kinkbench::MinimaxProblem::create(number, n, 1000);
    if (!p) return fail(p.error().message);
    const auto um = static_cast<std::size_t>(p->m());
    std::vector<double> all(count * um);
    const double value_ns = best_ns_per_point(repeats, count, [&] {
      for (std::size_t i = 0; i < count; ++i) p->value(1, {&points[i * un], un}, out[i]);
    });
    for (double v : out) checksum += v;
    const double single_ns = best_ns_per_point(repeats, count, [&] {
      for (std::size_t i = 0; i < count; ++i) p->value(1, {points.data(), un}, out[i]);
    });
    for (double v : out) checksum += v;
    const double values_ns = best_ns_per_point(repeats, count, [&] {
      for (std::size_t i = 0; i < count; ++i) p->values({&points[i * un], un}, {&all[i * um], um});
    });
    for (double v : all) checksum += v;
    std::printf("value %.2f\nsingle %.2f\nvalues %.2f\nchecksum %.17g\n", value_ns, single_ns,
                values_ns, checksum);
  } else if (collection == "nonsmooth") {
    const auto p = kinkbench::NonsmoothProblem::create(number, n);
    if (!p) return fail(p.error().message);
    const double value_ns = best_ns_per_point(repeats, count, [&] {
      for (std::size_t i = 0; i < count; ++i) p->value({&points[i * un], un}, out[i]);
    });
    for (double v : out) checksum += v;
    const double single_ns = best_ns_per_point(repeats, count, [&] {
      for (std::size_t i = 0; i < count; ++i) p->value({points.data(), un}, out[i]);
    });
    for (double v : out) checksum += v;
    std::printf("value %.2f\nsingle %.2f\nchecksum %.17g\n", value_ns, single_ns, checksum);
  } else {
    return fail("unknown collection '" + collection + "'");
  }
  return 0;
}
