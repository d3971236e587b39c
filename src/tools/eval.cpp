// kinkbench eval: one problem at its start or a given point. Only what is printed is
// computed and allocated: a Hessian at n = 10000 takes 400 MB.
#include <cstdio>
#include <span>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "kinkbench/pieces.hpp"
#include "tools/arguments.hpp"
#include "tools/commands.hpp"
#include "tools/format.hpp"
#include "tools/stream.hpp"

namespace kinkbench::tools {
namespace {

struct Request {
  Collection collection = Collection::minimax;
  int problem = 1;
  int n = 0;
  std::vector<double> x;  // empty: the start
  bool gradient = false;
  bool hessian = false;
  bool all = false;  // minimax: every f_k and the Jacobian
};

struct Evaluation {
  std::vector<double> x;
  int k = 0;               // minimax: the partial function evaluated
  bool objective = false;  // minimax: k attains the objective, rather than chosen by --k
  const char* form = "";   // minimax: the objective, "max f_k" or "max |f_k|"
  bool absolute = false;   // minimax: the value printed is |f_k| (a fit's objective)
  double value = 0;
  std::vector<double> gradient;  // empty unless asked for
  std::vector<double> hessian;
  std::vector<double> values;    // f_1..f_m
  std::vector<double> jacobian;  // m rows of n
  // --active: per group the active pieces' names and weights, and the measure.
  double eps = -1;  // < 0: not asked for
  std::vector<std::vector<std::string>> active;
  std::vector<std::vector<double>> weights;
  double stationarity = 0;
};

std::string derivatives_of(const Evaluation& e) {
  const std::string fk = "f_" + std::to_string(e.k);
  return e.absolute ? "|" + fk + "|" : fk;
}

// The pieces active within eps at x and the least-norm element's weights on them.
template <class Problem>
void take_activity(const Problem& p, Evaluation& e) {
  const Pieces pieces(p);
  PieceWorkspace ws(pieces);
  std::vector<double> lambda(static_cast<size_t>(pieces.piece_count()));
  std::vector<double> element(static_cast<size_t>(pieces.n()));
  e.stationarity = pieces.stationarity(e.x, e.eps, ws, lambda, element).norm;
  for (int g = 1; g <= pieces.group_count(); ++g) {
    auto& names = e.active.emplace_back();
    auto& weights = e.weights.emplace_back();
    for (int i = pieces.first(g); i < pieces.first(g + 1); ++i) {
      if (!ws.is_active(i)) continue;
      names.push_back(pieces.name(i));
      weights.push_back(lambda[static_cast<size_t>(i)]);
    }
  }
}

// "active   = eps E: f1 (w1), f2 (w2)", the weights those of the least-norm element;
// groups as "1: ...; 2: ..." when there are several.
void print_activity(std::FILE* out, const Evaluation& e) {
  std::string text = e.active.empty() ? "none, the objective is smooth" : "";
  for (size_t g = 0; g < e.active.size(); ++g) {
    text += g ? "; " : "";
    if (e.active.size() > 1) text += std::to_string(g + 1) + ": ";
    for (size_t i = 0; i < e.active[g].size(); ++i) {
      text += (i ? ", " : "") + e.active[g][i] + " (" + number_text(e.weights[g][i]) + ")";
    }
  }
  std::fprintf(out, "active   = eps %s: %s\n", number_text(e.eps).c_str(), text.c_str());
  std::fprintf(out, "stationarity = %s\n", number_text(e.stationarity).c_str());
}

size_t packed_size(int n) { return static_cast<size_t>(n) * static_cast<size_t>(n + 1) / 2; }

void print_text(std::FILE* out, const Request& r, const Evaluation& e) {
  std::fprintf(out, "%s problem %d, n = %d\n", name(r.collection), r.problem, r.n);
  std::fprintf(out, "x        = %s\n", numbers_text(e.x).c_str());
  const std::string value = number_text(e.value);
  if (r.collection == Collection::nonsmooth) {
    std::fprintf(out, "f        = %s\n", value.c_str());
  } else if (e.objective) {
    std::fprintf(out, "%-8s = %s (attained first at k = %d)\n", e.form, value.c_str(), e.k);
  } else {
    std::fprintf(out, "f_%-7d= %s\n", e.k, value.c_str());
  }
  // The derivatives are those of the value printed: of f_k, or of |f_k| for a fit's
  // objective, as the stream gives them; the label says which.
  const std::string of =
      r.collection == Collection::minimax ? " of " + derivatives_of(e) : std::string();
  if (r.gradient)
    std::fprintf(out, "gradient%s = %s\n", of.c_str(), numbers_text(e.gradient).c_str());
  if (r.hessian)
    std::fprintf(out, "hessian%s  = %s\n", of.c_str(), numbers_text(e.hessian).c_str());
  if (e.eps >= 0) print_activity(out, e);
  if (!r.all) return;
  std::fprintf(out, "values   = %s\n", numbers_text(e.values).c_str());
  const auto n = static_cast<size_t>(r.n);
  for (size_t row = 0; row < e.values.size(); ++row) {
    const std::span<const double> gradient(e.jacobian.data() + row * n, n);
    std::fprintf(out, "%s%s\n", row == 0 ? "jacobian = " : "           ",
                 numbers_text(gradient).c_str());
  }
}

void print_json(std::FILE* to, const Request& r, const Evaluation& e) {
  Json out = {{"collection", name(r.collection)},
              {"problem", r.problem},
              {"n", r.n},
              {"x", json_numbers(e.x)}};
  if (r.collection == Collection::minimax) {
    out["form"] = e.form;
    out["k"] = e.k;
    out["objective"] = e.objective;
  }
  out["value"] = json_number(e.value);
  if (r.gradient) out["gradient"] = json_numbers(e.gradient);
  if (r.hessian) out["hessian"] = json_numbers(e.hessian);
  if (e.eps >= 0) {
    Json groups = Json::array();
    for (size_t g = 0; g < e.active.size(); ++g) {
      Json pieces = Json::array();
      for (size_t i = 0; i < e.active[g].size(); ++i) {
        pieces.push_back({{"piece", e.active[g][i]}, {"weight", json_number(e.weights[g][i])}});
      }
      groups.push_back(std::move(pieces));
    }
    out["active"] = {{"eps", json_number(e.eps)},
                     {"groups", std::move(groups)},
                     {"stationarity", json_number(e.stationarity)}};
  }
  if (r.all) {
    out["values"] = json_numbers(e.values);
    Json rows = Json::array();
    const auto n = static_cast<size_t>(r.n);
    for (size_t row = 0; row < e.values.size(); ++row) {
      rows.push_back(json_numbers(std::span<const double>(e.jacobian.data() + row * n, n)));
    }
    out["jacobian"] = std::move(rows);
  }
  tools::print_json(to, out);
}

// Sets the point: the start unless --x gave one, which must have n coordinates.
std::string take_point(const Request& r, std::span<const double> start, int min_n, int max_n,
                       Evaluation& e) {
  if (r.x.empty()) {
    e.x.assign(start.begin(), start.end());
    return {};
  }
  if (static_cast<int>(r.x.size()) != r.n) {
    return point_count_error(r.collection, r.problem, static_cast<int>(r.x.size()),
                             {r.n, min_n, max_n});
  }
  e.x = r.x;
  return {};
}

// Answers points from standard input until it ends.
int run_stream(const Console& io, const EvalArgs& args, const Request& r) {
  if (args.x)
    return usage_error(io.err, "eval", "--stream reads the points from standard input, not --x");
  if (r.hessian) return usage_error(io.err, "eval", "--stream does not give the Hessian");
  if (r.all) return usage_error(io.err, "eval", "--stream does not take --all");
  if (args.active) return usage_error(io.err, "eval", "--stream does not take --active");
  StreamSetup setup;
  setup.collection = r.collection;
  setup.problem = r.problem;
  setup.n = r.n;
  setup.gradient = r.gradient;
  setup.json = args.json;
  if (args.k) {
    const auto k = index_option(*args.k, minimax_problems()[static_cast<size_t>(r.problem - 1)].m);
    if (!k.ok()) return usage_error(io.err, "eval", k.error);
    setup.k = k.value;
  }
  PointStream stream(setup);
  if (!stream.error().empty()) return usage_error(io.err, "eval", stream.error());
  if (const auto failure = stream.serve(io.in, io.out); !failure.empty()) {
    std::fprintf(io.err, "kinkbench: %s\n", failure.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int run_eval(const Console& io, const EvalArgs& args) {
  const auto& words = args.positional;
  if (words.size() < 2) return usage_error(io.err, "eval", "eval needs a collection and a problem");
  if (words.size() > 2) {
    const bool coordinate = args.x && point_option(words[2]).ok();
    return unexpected_argument(io.err, "eval", words[2],
                               coordinate ? "--x takes one comma-separated list" : "");
  }
  const auto collection = collection_argument(words[0]);
  if (!collection.ok()) return usage_error(io.err, "eval", collection.error);
  const auto problem = problem_argument(words[1]);
  if (!problem.ok()) return usage_error(io.err, "eval", problem.error);
  const bool minimax = collection.value == Collection::minimax;
  if (!minimax && args.k)
    return usage_error(io.err, "eval", "--k applies to the minimax collection");
  if (!minimax && args.all)
    return usage_error(io.err, "eval", "--all applies to the minimax collection");

  Request r;
  r.collection = collection.value;
  r.problem = problem.value;
  r.gradient = args.gradient;
  r.hessian = args.hessian;
  r.all = args.all;
  const size_t row = static_cast<size_t>(r.problem - 1);
  r.n = minimax ? minimax_problems()[row].min_n : nonsmooth_problems()[row].min_n;
  if (args.n) {
    const auto n = dimension_option(*args.n);
    if (!n.ok()) return usage_error(io.err, "eval", n.error);
    r.n = n.value;
  }
  if (r.hessian && r.n > kMaxHessianN) {
    return usage_error(io.err, "eval",
                       "--hessian prints n(n+1)/2 numbers; it takes n <= " +
                           std::to_string(kMaxHessianN) + ", got " + std::to_string(r.n));
  }
  if (args.stream) return run_stream(io, args, r);
  if (args.x) {
    auto x = point_option(*args.x);
    if (!x.ok()) return usage_error(io.err, "eval", x.error);
    r.x = std::move(x.value);
  }

  Evaluation e;
  if (args.active) {
    const auto eps = point_option(*args.active);
    if (!eps.ok() || eps.value.size() != 1 || !(eps.value[0] >= 0)) {
      return usage_error(io.err, "eval",
                         "--active takes one number >= 0, got " + quote(*args.active));
    }
    e.eps = eps.value[0];
  }
  if (r.gradient) e.gradient.assign(static_cast<size_t>(r.n), 0.0);
  if (r.hessian) e.hessian.assign(packed_size(r.n), 0.0);
  if (minimax) {
    const auto& info = minimax_problems()[row];
    const auto p = MinimaxProblem::create(r.problem, r.n, info.m);
    if (!p) return usage_error(io.err, "eval", p.error().message);
    if (auto error = take_point(r, p->start(), info.min_n, 0, e); !error.empty()) {
      return usage_error(io.err, "eval", error);
    }
    e.form = p->form();
    if (args.k) {
      const auto k = index_option(*args.k, p->m());
      if (!k.ok()) return usage_error(io.err, "eval", k.error);
      e.k = k.value;
      p->value(e.k, e.x, e.value);
    } else {
      const auto best = p->objective(e.x);
      e.objective = true;
      e.k = best.k;
      e.value = best.value;
    }
    if (r.gradient) p->gradient(e.k, e.x, e.gradient);
    if (r.hessian) p->hessian(e.k, e.x, e.hessian);
    // A fit's objective is |f_k|: where f_k < 0 its derivatives are those of -f_k.
    e.absolute = e.objective && p->itype() == 0;
    if (e.absolute) {
      double fk = 0;
      p->value(e.k, e.x, fk);
      if (fk < 0) {
        for (double& g : e.gradient) g = -g;
        for (double& h : e.hessian) h = -h;
      }
    }
    if (r.all) {
      e.values.assign(static_cast<size_t>(p->m()), 0.0);
      e.jacobian.assign(static_cast<size_t>(p->m()) * static_cast<size_t>(r.n), 0.0);
      p->values(e.x, e.values);
      p->jacobian(e.x, e.jacobian);
    }
    if (e.eps >= 0) take_activity(*p, e);
  } else {
    const auto& info = nonsmooth_problems()[row];
    const auto p = NonsmoothProblem::create(r.problem, r.n);
    if (!p) return usage_error(io.err, "eval", p.error().message);
    if (auto error = take_point(r, p->start(), info.min_n, info.max_n, e); !error.empty()) {
      return usage_error(io.err, "eval", error);
    }
    p->value(e.x, e.value);
    if (r.gradient) p->gradient(e.x, e.gradient);
    if (r.hessian) p->hessian(e.x, e.hessian);
    if (e.eps >= 0) take_activity(*p, e);
  }
  if (args.json) {
    print_json(io.out, r, e);
  } else {
    print_text(io.out, r, e);
  }
  return 0;
}

}  // namespace kinkbench::tools
