// kinkbench: the collections for people. Lists the problems, evaluates one at a point,
// and checks derivatives against central differences.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/cli.hpp"
#include "tools/tolerances.hpp"

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;
namespace cli = kinkbench::cli;

constexpr int kUsageError = 2;
// The command holds the packed Hessian: keep it to a few hundred megabytes.
constexpr int kMaxN = 10000;

const char* const kMainHelp =
    "usage: kinkbench <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  list [minimax|nonsmooth]        the problems with their metadata and the objective\n"
    "                                  at the starting point\n"
    "  eval minimax|nonsmooth PROBLEM  evaluate a problem at its start or a given point\n"
    "  check [minimax|nonsmooth] [PROBLEM]\n"
    "                                  compare gradients and Hessians with central\n"
    "                                  differences; exits 1 when one is off\n"
    "\n"
    "Run 'kinkbench <command> --help' for a command's options.\n";

const std::vector<cli::OptionSpec> kEvalOptions = {
    {"n", "N", "number of variables (default: the problem's minimum)"},
    {"x", "V1,V2,...", "the point, n comma-separated numbers (default: the start)"},
    {"k", "K", "minimax: evaluate partial function K (default: the largest)"},
    {"gradient", "", "also print the gradient"},
    {"hessian", "", "also print the packed Hessian (lower triangle by rows)"},
    {"json", "", "print one JSON object (non-finite numbers as null)"},
    {"help", "", "show this help"},
};

const std::vector<cli::OptionSpec> kHelpOnly = {{"help", "", "show this help"}};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "kinkbench: %s (see 'kinkbench --help')\n", message.c_str());
  return kUsageError;
}

std::string number_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string json_number(double v) { return std::isfinite(v) ? number_text(v) : "null"; }

std::string joined(const std::vector<double>& v, const char* separator, bool json) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i > 0) out += separator;
    out += json ? json_number(v[i]) : number_text(v[i]);
  }
  return out;
}

bool parse_collection(const std::string& word, bool& minimax) {
  if (word == "minimax") {
    minimax = true;
  } else if (word == "nonsmooth") {
    minimax = false;
  } else {
    return false;
  }
  return true;
}

std::optional<int> parse_problem(const std::string& text) {
  const auto number = cli::to_int(text);
  if (!number || *number < 1 || *number > 25) return std::nullopt;
  return number;
}

// ---- list -------------------------------------------------------------------------

void list_minimax() {
  std::printf("minimax collection: partial functions f_1..f_m; objective max_k f_k\n");
  std::printf("%4s %4s %4s %6s %8s %24s %4s  %s\n", "prob", "n>=", "m", "itype", "stepmax",
              "max f_k at start", "k", "form");
  for (const auto& info : kinkbench::minimax_problems()) {
    const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
    const auto objective = p->objective(p->start());
    std::printf("%4d %4d %4d %6d %8g %24.16g %4d  %s\n", info.number, info.min_n, info.m,
                p->itype(), p->stepmax(), objective.value, objective.k, info.summary);
  }
}

void list_nonsmooth() {
  std::printf("nonsmooth collection: one objective f per problem\n");
  std::printf("%4s %4s %7s %8s %24s  %s\n", "prob", "n>=", "fmin", "stepmax", "f at start", "form");
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    const auto p = NonsmoothProblem::create(info.number, info.min_n);
    double f = 0;
    p->value(p->start(), f);
    std::printf("%4d %4d %7g %8g %24.16g  %s\n", info.number, info.min_n, info.fmin, info.stepmax,
                f, info.summary);
  }
}

int run_list(const std::vector<std::string>& args) {
  const auto result = cli::parse(args, kHelpOnly);
  if (!result.parsed) return usage_error(result.error);
  if (result.parsed->has("help")) {
    std::printf("usage: kinkbench list [minimax|nonsmooth]\n\n%s",
                cli::describe(kHelpOnly).c_str());
    return 0;
  }
  const auto& positional = result.parsed->positional;
  if (positional.size() > 1) return usage_error("list takes at most one collection");
  bool minimax = true;
  if (!positional.empty() && !parse_collection(positional[0], minimax)) {
    return usage_error("unknown collection '" + positional[0] + "'");
  }
  if (positional.empty() || minimax) list_minimax();
  if (positional.empty()) std::printf("\n");
  if (positional.empty() || !minimax) list_nonsmooth();
  return 0;
}

// ---- eval -------------------------------------------------------------------------

struct Evaluation {
  int k = 0;  // minimax: the partial function evaluated
  double value = 0;
  std::vector<double> gradient;
  std::vector<double> hessian;
};

void print_evaluation(bool minimax, int number, const std::vector<double>& x, const Evaluation& e,
                      bool objective, const cli::Parsed& options) {
  const bool json = options.has("json");
  const int n = static_cast<int>(x.size());
  if (json) {
    std::printf("{\"collection\": \"%s\", \"problem\": %d, \"n\": %d, \"x\": [%s]",
                minimax ? "minimax" : "nonsmooth", number, n, joined(x, ", ", true).c_str());
    if (minimax) std::printf(", \"k\": %d, \"objective\": %s", e.k, objective ? "true" : "false");
    std::printf(", \"value\": %s", json_number(e.value).c_str());
    if (options.has("gradient"))
      std::printf(", \"gradient\": [%s]", joined(e.gradient, ", ", true).c_str());
    if (options.has("hessian"))
      std::printf(", \"hessian\": [%s]", joined(e.hessian, ", ", true).c_str());
    std::printf("}\n");
    return;
  }
  std::printf("%s problem %d, n = %d\n", minimax ? "minimax" : "nonsmooth", number, n);
  std::printf("x        = %s\n", joined(x, " ", false).c_str());
  if (minimax && objective) {
    std::printf("max f_k  = %s (attained first at k = %d)\n", number_text(e.value).c_str(), e.k);
  } else if (minimax) {
    std::printf("f_%d      = %s\n", e.k, number_text(e.value).c_str());
  } else {
    std::printf("f        = %s\n", number_text(e.value).c_str());
  }
  if (options.has("gradient"))
    std::printf("gradient = %s\n", joined(e.gradient, " ", false).c_str());
  if (options.has("hessian")) std::printf("hessian  = %s\n", joined(e.hessian, " ", false).c_str());
}

int run_eval(const std::vector<std::string>& args) {
  const auto result = cli::parse(args, kEvalOptions);
  if (!result.parsed) return usage_error(result.error);
  const cli::Parsed& options = *result.parsed;
  if (options.has("help")) {
    std::printf("usage: kinkbench eval minimax|nonsmooth PROBLEM [options]\n\n%s",
                cli::describe(kEvalOptions).c_str());
    return 0;
  }
  if (options.positional.size() != 2) return usage_error("eval needs a collection and a problem");
  bool minimax = true;
  if (!parse_collection(options.positional[0], minimax)) {
    return usage_error("unknown collection '" + options.positional[0] + "'");
  }
  const auto number = parse_problem(options.positional[1]);
  if (!number) return usage_error("unknown problem '" + options.positional[1] + "' (1..25)");
  if (!minimax && options.has("k")) return usage_error("--k applies to the minimax collection");

  const int min_n = minimax
                        ? kinkbench::minimax_problems()[static_cast<size_t>(*number - 1)].min_n
                        : kinkbench::nonsmooth_problems()[static_cast<size_t>(*number - 1)].min_n;
  int n = min_n;
  if (options.has("n")) {
    const auto given = cli::to_int(options.values.at("n"));
    if (!given)
      return usage_error("--n needs a whole number, got '" + options.values.at("n") + "'");
    n = *given;
    if (n > kMaxN) return usage_error("--n must be at most " + std::to_string(kMaxN));
  }

  Evaluation e;
  std::vector<double> x;
  bool objective = false;
  const auto read_point = [&](std::span<const double> start) -> std::string {
    if (!options.has("x")) {
      x.assign(start.begin(), start.end());
      return {};
    }
    const auto values = cli::to_doubles(options.values.at("x"));
    if (!values) return "--x needs comma-separated numbers, got '" + options.values.at("x") + "'";
    if (static_cast<int>(values->size()) != n) {
      return "--x has " + std::to_string(values->size()) + " coordinates, n is " +
             std::to_string(n);
    }
    x = *values;
    return {};
  };
  e.gradient.assign(static_cast<size_t>(n > 0 ? n : 0), 0.0);
  e.hessian.assign(static_cast<size_t>(n > 0 ? n : 0) * static_cast<size_t>(n + 1) / 2, 0.0);

  if (minimax) {
    const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(*number - 1)];
    const auto p = MinimaxProblem::create(*number, n, info.m);
    if (!p) return usage_error(p.error().message);
    if (const std::string error = read_point(p->start()); !error.empty()) return usage_error(error);
    if (options.has("k")) {
      const auto k = cli::to_int(options.values.at("k"));
      if (!k || *k < 1 || *k > p->m()) {
        return usage_error("--k must be 1.." + std::to_string(p->m()) + ", got '" +
                           options.values.at("k") + "'");
      }
      e.k = *k;
      p->value(e.k, x, e.value);
    } else {
      const auto best = p->objective(x);
      objective = true;
      e.k = best.k;
      e.value = best.value;
    }
    p->gradient(e.k, x, e.gradient);
    p->hessian(e.k, x, e.hessian);
  } else {
    const auto p = NonsmoothProblem::create(*number, n);
    if (!p) return usage_error(p.error().message);
    if (const std::string error = read_point(p->start()); !error.empty()) return usage_error(error);
    p->value(x, e.value);
    p->gradient(x, e.gradient);
    p->hessian(x, e.hessian);
  }
  print_evaluation(minimax, *number, x, e, objective, options);
  return 0;
}

// ---- check ------------------------------------------------------------------------

struct CheckOutcome {
  double gradient_error = 0;
  double hessian_error = 0;
};

void keep_worst(double& worst, double error) {
  if (std::isnan(error) || error > worst) worst = error;
}

bool within(double error, double tolerance) { return error <= tolerance; }  // NaN fails

// Seeded points near the start, not the start itself: starting points often sit on a kink
// on purpose (nonsmooth problem 8, the square roots of minimax problem 18).
std::vector<std::vector<double>> check_points(std::span<const double> start) {
  const std::vector<double> x0(start.begin(), start.end());
  std::vector<std::vector<double>> points;
  for (unsigned seed = 1; seed <= 3; ++seed)
    points.push_back(kinkbench::check::nearby_point(x0, seed));
  return points;
}

CheckOutcome check_minimax(int number) {
  const kinkbench::tools::Tolerance tol = kinkbench::tools::tolerance(true, number);
  const auto& info = kinkbench::minimax_problems()[static_cast<size_t>(number - 1)];
  const auto p = MinimaxProblem::create(number, info.min_n, info.m);
  CheckOutcome outcome;
  const int n = p->n();
  for (const auto& x : check_points(p->start())) {
    for (int k = 1; k <= p->m(); ++k) {
      const kinkbench::check::Scalar f = [&](const double* q) {
        double fk = 0;
        p->value(k, std::span<const double>(q, static_cast<size_t>(n)), fk);
        return fk;
      };
      const kinkbench::check::Vector g = [&](const double* q, double* out) {
        p->gradient(k, std::span<const double>(q, static_cast<size_t>(n)),
                    std::span<double>(out, static_cast<size_t>(n)));
      };
      const kinkbench::check::Vector h = [&](const double* q, double* out) {
        p->hessian(k, std::span<const double>(q, static_cast<size_t>(n)),
                   std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));
      };
      keep_worst(outcome.gradient_error,
                 kinkbench::check::gradient_error(n, f, g, x.data(), tol.gradient_step).error);
      keep_worst(outcome.hessian_error,
                 kinkbench::check::hessian_error(n, g, h, x.data(), tol.hessian_step).error);
    }
  }
  return outcome;
}

CheckOutcome check_nonsmooth(int number) {
  const auto& info = kinkbench::nonsmooth_problems()[static_cast<size_t>(number - 1)];
  const auto p = NonsmoothProblem::create(number, info.min_n);
  CheckOutcome outcome;
  const int n = p->n();
  const kinkbench::check::Scalar f = [&](const double* q) {
    double v = 0;
    p->value(std::span<const double>(q, static_cast<size_t>(n)), v);
    return v;
  };
  const kinkbench::check::Vector g = [&](const double* q, double* out) {
    p->gradient(std::span<const double>(q, static_cast<size_t>(n)),
                std::span<double>(out, static_cast<size_t>(n)));
  };
  const kinkbench::check::Vector h = [&](const double* q, double* out) {
    p->hessian(std::span<const double>(q, static_cast<size_t>(n)),
               std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));
  };
  for (const auto& x : check_points(p->start())) {
    keep_worst(outcome.gradient_error, kinkbench::check::gradient_error(n, f, g, x.data()).error);
    keep_worst(outcome.hessian_error, kinkbench::check::hessian_error(n, g, h, x.data()).error);
  }
  return outcome;
}

int run_check(const std::vector<std::string>& args) {
  const auto result = cli::parse(args, kHelpOnly);
  if (!result.parsed) return usage_error(result.error);
  if (result.parsed->has("help")) {
    std::printf(
        "usage: kinkbench check [minimax|nonsmooth] [PROBLEM]\n\n"
        "Compares every gradient with central differences of the value and every packed\n"
        "Hessian with central differences of the gradient, at three seeded points near\n"
        "the starting point, and prints the largest relative error per\n"
        "problem. Exits 1 when an error exceeds the problem's tolerance.\n\n%s",
        cli::describe(kHelpOnly).c_str());
    return 0;
  }
  const auto& positional = result.parsed->positional;
  if (positional.size() > 2) return usage_error("check takes a collection and a problem at most");
  bool minimax = true;
  if (!positional.empty() && !parse_collection(positional[0], minimax)) {
    return usage_error("unknown collection '" + positional[0] + "'");
  }
  int only = 0;
  if (positional.size() == 2) {
    const auto number = parse_problem(positional[1]);
    if (!number) return usage_error("unknown problem '" + positional[1] + "' (1..25)");
    only = *number;
  }
  int failures = 0;
  std::printf("%-10s %4s %14s %14s %10s %10s  %s\n", "collection", "prob", "gradient err",
              "hessian err", "tol grad", "tol hess", "result");
  for (int pass = 0; pass < 2; ++pass) {
    const bool mm = pass == 0;
    if (!positional.empty() && mm != minimax) continue;
    for (int number = 1; number <= 25; ++number) {
      if (only != 0 && number != only) continue;
      const CheckOutcome o = mm ? check_minimax(number) : check_nonsmooth(number);
      const kinkbench::tools::Tolerance tol = kinkbench::tools::tolerance(mm, number);
      const bool ok =
          within(o.gradient_error, tol.gradient) && within(o.hessian_error, tol.hessian);
      failures += ok ? 0 : 1;
      std::printf("%-10s %4d %14.3e %14.3e %10.0e %10.0e  %s\n", mm ? "minimax" : "nonsmooth",
                  number, o.gradient_error, o.hessian_error, tol.gradient, tol.hessian,
                  ok ? "ok" : "FAILED");
    }
  }
  std::printf("%s\n", failures == 0 ? "all derivatives agree" : "some derivatives disagree");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) return usage_error("no command given");
  const std::string& command = all[0];
  const std::vector<std::string> rest(all.begin() + 1, all.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s", kMainHelp);
    return 0;
  }
  if (command == "list") return run_list(rest);
  if (command == "eval") return run_eval(rest);
  if (command == "check") return run_check(rest);
  return usage_error("unknown command '" + command + "'");
}
