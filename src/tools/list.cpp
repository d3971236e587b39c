// kinkbench list: each problem's metadata and its objective at the starting point.
#include <cstdio>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/arguments.hpp"
#include "tools/commands.hpp"
#include "tools/format.hpp"

namespace kinkbench::tools {
namespace {

Json minimax_rows() {
  Json rows = Json::array();
  for (const auto& info : minimax_problems()) {
    const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
    const auto objective = p->objective(p->start());
    rows.push_back({{"problem", info.number},
                    {"min_n", info.min_n},
                    {"m", info.m},
                    {"itype", p->itype()},
                    {"form", p->form()},
                    {"fmin", json_number(p->fmin())},
                    {"stepmax", json_number(p->stepmax())},
                    {"value_at_start", json_number(objective.value)},
                    {"k_at_start", objective.k},
                    {"summary", info.summary}});
  }
  return rows;
}

Json nonsmooth_rows() {
  Json rows = Json::array();
  for (const auto& info : nonsmooth_problems()) {
    const auto p = NonsmoothProblem::create(info.number, info.min_n);
    double f = 0;
    p->value(p->start(), f);
    rows.push_back({{"problem", info.number},
                    {"min_n", info.min_n},
                    {"max_n", info.max_n == 0 ? Json(nullptr) : Json(info.max_n)},
                    {"fmin", json_number(info.fmin)},
                    {"stepmax", json_number(info.stepmax)},
                    {"value_at_start", json_number(f)},
                    {"summary", info.summary}});
  }
  return rows;
}

void print_minimax() {
  std::printf(
      "minimax collection: partial functions f_1..f_m; objective max_k f_k, or max_k |f_k| "
      "for itype 0\n");
  std::printf("%4s %4s %4s %6s %8s %24s %4s  %s\n", "prob", "n>=", "m", "itype", "stepmax",
              "objective at start", "k", "form");
  for (const auto& info : minimax_problems()) {
    const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
    const auto objective = p->objective(p->start());
    std::printf("%4d %4d %4d %6d %8g %24.16g %4d  %s\n", info.number, info.min_n, info.m,
                p->itype(), p->stepmax(), objective.value, objective.k, info.summary);
  }
}

void print_nonsmooth() {
  std::printf("nonsmooth collection: one objective f per problem\n");
  std::printf("%4s %4s %7s %8s %24s  %s\n", "prob", "n>=", "fmin", "stepmax", "f at start", "form");
  for (const auto& info : nonsmooth_problems()) {
    const auto p = NonsmoothProblem::create(info.number, info.min_n);
    double f = 0;
    p->value(p->start(), f);
    std::printf("%4d %4d %7g %8g %24.16g  %s\n", info.number, info.min_n, info.fmin, info.stepmax,
                f, info.summary);
  }
}

}  // namespace

int run_list(const ListArgs& args) {
  if (args.positional.size() > 1) return unexpected_argument("list", args.positional[1]);
  bool minimax = true;
  bool nonsmooth = true;
  if (!args.positional.empty()) {
    const auto collection = collection_argument(args.positional[0]);
    if (!collection.ok()) return usage_error("list", collection.error);
    minimax = collection.value == Collection::minimax;
    nonsmooth = !minimax;
  }
  if (args.json) {
    Json out = Json::object();
    if (minimax) out["minimax"] = minimax_rows();
    if (nonsmooth) out["nonsmooth"] = nonsmooth_rows();
    print_json(out);
    return 0;
  }
  if (minimax) print_minimax();
  if (minimax && nonsmooth) std::printf("\n");
  if (nonsmooth) print_nonsmooth();
  return 0;
}

}  // namespace kinkbench::tools
