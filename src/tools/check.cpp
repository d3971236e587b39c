// kinkbench check: every gradient and packed Hessian against central differences.
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/arguments.hpp"
#include "tools/commands.hpp"
#include "tools/format.hpp"
#include "tools/tolerances.hpp"

namespace kinkbench::tools {
namespace {

struct CheckOutcome {
  double gradient_error = 0;
  double hessian_error = 0;
};

void keep_worst(double& worst, double error) {
  if (std::isnan(error) || error > worst) worst = error;
}

bool within(double error, double tolerance) { return error <= tolerance; }  // NaN fails

// Where to compare: the user's point (--x), or seeded points near the start, not the
// start itself: starting points often sit on a kink on purpose (nonsmooth problem 8, the
// square roots of minimax problem 18).
struct Where {
  int n = 0;              // 0: the problem's minimum
  std::vector<double> x;  // empty: near the start
};

std::vector<std::vector<double>> check_points(std::span<const double> start, const Where& at) {
  if (!at.x.empty()) return {at.x};
  const std::vector<double> x0(start.begin(), start.end());
  std::vector<std::vector<double>> points;
  for (unsigned seed = 1; seed <= 3; ++seed) points.push_back(check::nearby_point(x0, seed));
  return points;
}

// Adds the perturbation, if it is for this derivative, to its first entry.
void perturb(const Perturbation& wrong, bool minimax, int number, int k, bool hessian,
             double* out) {
  if (wrong.problem == number && wrong.minimax == minimax && wrong.hessian == hessian &&
      (!minimax || wrong.k == k)) {
    out[0] += wrong.by;
  }
}

CheckOutcome check_minimax(const MinimaxProblem& problem, const Where& at,
                           const Perturbation& wrong) {
  const MinimaxProblem* p = &problem;
  const int number = p->number();
  const Tolerance tol = tolerance(true, number);
  CheckOutcome outcome;
  const int n = p->n();
  for (const auto& x : check_points(p->start(), at)) {
    for (int k = 1; k <= p->m(); ++k) {
      const check::Scalar f = [&](const double* q) {
        double fk = 0;
        p->value(k, std::span<const double>(q, static_cast<size_t>(n)), fk);
        return fk;
      };
      const check::Vector g = [&](const double* q, double* out) {
        p->gradient(k, std::span<const double>(q, static_cast<size_t>(n)),
                    std::span<double>(out, static_cast<size_t>(n)));
        perturb(wrong, true, number, k, false, out);
      };
      const check::Vector h = [&](const double* q, double* out) {
        p->hessian(k, std::span<const double>(q, static_cast<size_t>(n)),
                   std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));
        perturb(wrong, true, number, k, true, out);
      };
      keep_worst(outcome.gradient_error,
                 check::gradient_error(n, f, g, x.data(), tol.gradient_step).error);
      keep_worst(outcome.hessian_error,
                 check::hessian_error(n, g, h, x.data(), tol.hessian_step).error);
    }
  }
  return outcome;
}

CheckOutcome check_nonsmooth(const NonsmoothProblem& problem, const Where& at,
                             const Perturbation& wrong) {
  const NonsmoothProblem* p = &problem;
  const int number = p->number();
  CheckOutcome outcome;
  const int n = p->n();
  const check::Scalar f = [&](const double* q) {
    double v = 0;
    p->value(std::span<const double>(q, static_cast<size_t>(n)), v);
    return v;
  };
  const check::Vector g = [&](const double* q, double* out) {
    p->gradient(std::span<const double>(q, static_cast<size_t>(n)),
                std::span<double>(out, static_cast<size_t>(n)));
    perturb(wrong, false, number, 0, false, out);
  };
  const check::Vector h = [&](const double* q, double* out) {
    p->hessian(std::span<const double>(q, static_cast<size_t>(n)),
               std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));
    perturb(wrong, false, number, 0, true, out);
  };
  for (const auto& x : check_points(p->start(), at)) {
    keep_worst(outcome.gradient_error, check::gradient_error(n, f, g, x.data()).error);
    keep_worst(outcome.hessian_error, check::hessian_error(n, g, h, x.data()).error);
  }
  return outcome;
}

// The problem at the n asked for (default: its minimum), and the point checked against
// it; on a refusal, the one line to print.
struct Checked {
  std::optional<MinimaxProblem> minimax;
  std::optional<NonsmoothProblem> nonsmooth;
  std::string error;
};

Checked set_up(Collection collection, int number, const Where& at, int given) {
  Checked c;
  const bool mm = collection == Collection::minimax;
  const auto row = static_cast<size_t>(number - 1);
  const int min_n = mm ? minimax_problems()[row].min_n : nonsmooth_problems()[row].min_n;
  const int max_n = mm ? 0 : nonsmooth_problems()[row].max_n;
  const int n = at.n != 0 ? at.n : min_n;
  if (mm) {
    auto p = MinimaxProblem::create(number, n, minimax_problems()[row].m);
    if (!p) return {{}, {}, p.error().message};
    c.minimax = std::move(*p);
  } else {
    auto p = NonsmoothProblem::create(number, n);
    if (!p) return {{}, {}, p.error().message};
    c.nonsmooth = std::move(*p);
  }
  if (given != 0 && given != n)
    c.error = point_count_error(collection, number, given, {n, min_n, max_n});
  return c;
}

}  // namespace

int run_check(const Console& io, const CheckArgs& args) {
  const auto& words = args.positional;
  if (words.size() > 2) return unexpected_argument(io.err, "check", words[2]);
  bool minimax = true;
  bool nonsmooth = true;
  if (!words.empty()) {
    const auto collection = collection_argument(words[0]);
    if (!collection.ok()) return usage_error(io.err, "check", collection.error);
    minimax = collection.value == Collection::minimax;
    nonsmooth = !minimax;
  }
  int only = 0;
  if (words.size() == 2) {
    const auto problem = problem_argument(words[1]);
    if (!problem.ok()) return usage_error(io.err, "check", problem.error);
    only = problem.value;
  }
  Where at;
  if ((args.n || args.x) && only == 0) {
    return usage_error(io.err, "check",
                       std::string(args.x ? "--x" : "--n") + " needs a collection and a problem");
  }
  if (args.n) {
    const auto n = dimension_option(*args.n);
    if (!n.ok()) return usage_error(io.err, "check", n.error);
    // The Hessian check holds n(n+1)/2 differences and takes n gradients per point.
    if (n.value > kMaxHessianN) {
      return usage_error(io.err, "check",
                         "check compares Hessians; it takes n <= " + std::to_string(kMaxHessianN) +
                             ", got " + std::to_string(n.value));
    }
    at.n = n.value;
  }
  if (args.x) {
    auto x = point_option(*args.x);
    if (!x.ok()) return usage_error(io.err, "check", x.error);
    at.x = std::move(x.value);
  }
  if (at.n != 0 || !at.x.empty()) {
    const auto collection = minimax ? Collection::minimax : Collection::nonsmooth;
    const Checked c = set_up(collection, only, at, static_cast<int>(at.x.size()));
    if (!c.error.empty()) return usage_error(io.err, "check", c.error);
  }
  if (!args.json) {
    std::fprintf(io.out, "%-10s %4s %14s %14s %10s %10s  %s\n", "collection", "prob",
                 "gradient err", "hessian err", "tol grad", "tol hess", "result");
  }
  Json rows = Json::array();
  int failures = 0;
  for (const Collection collection : {Collection::minimax, Collection::nonsmooth}) {
    const bool mm = collection == Collection::minimax;
    if (mm ? !minimax : !nonsmooth) continue;
    for (int number = 1; number <= 25; ++number) {
      if (only != 0 && number != only) continue;
      const Checked c = set_up(collection, number, at, static_cast<int>(at.x.size()));
      const CheckOutcome o = mm ? check_minimax(*c.minimax, at, args.perturb)
                                : check_nonsmooth(*c.nonsmooth, at, args.perturb);
      const Tolerance tol = tolerance(mm, number);
      const bool ok =
          within(o.gradient_error, tol.gradient) && within(o.hessian_error, tol.hessian);
      failures += ok ? 0 : 1;
      if (args.json) {
        rows.push_back({{"collection", name(collection)},
                        {"problem", number},
                        {"gradient_error", json_number(o.gradient_error)},
                        {"hessian_error", json_number(o.hessian_error)},
                        {"gradient_tolerance", json_number(tol.gradient)},
                        {"hessian_tolerance", json_number(tol.hessian)},
                        {"ok", ok}});
      } else {
        std::fprintf(io.out, "%-10s %4d %14.3e %14.3e %10.0e %10.0e  %s\n", name(collection),
                     number, o.gradient_error, o.hessian_error, tol.gradient, tol.hessian,
                     ok ? "ok" : "FAILED");
      }
    }
  }
  if (args.json) {
    print_json(io.out, Json{{"problems", rows}, {"ok", failures == 0}});
  } else {
    std::fprintf(io.out, "%s\n",
                 failures == 0 ? "all derivatives agree" : "some derivatives disagree");
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace kinkbench::tools
