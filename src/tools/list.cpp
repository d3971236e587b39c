// kinkbench list: each problem's metadata, its objective at the starting point, and how
// far that is from the best-known optimum.
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/arguments.hpp"
#include "tools/commands.hpp"
#include "tools/format.hpp"

namespace kinkbench::tools {
namespace {

// One problem at its standard n: what both the table and the JSON show.
struct Row {
  int number;
  std::string dimensions;  // "2+" or "10": the n the problem accepts
  double start_value;      // the objective at the start, in the problem's form
  const BestKnown* best;   // nullptr when none is stored
};

std::string dimensions_text(int min_n, int max_n) {
  if (max_n == 0) return std::to_string(min_n) + "+";
  if (max_n == min_n) return std::to_string(min_n);
  return std::to_string(min_n) + "-" + std::to_string(max_n);
}

double gap(const Row& row) { return row.best ? row.start_value - row.best->value : NAN; }

bool is_local(const BestKnown* best) { return best && std::string_view(best->status) == "local"; }

void add_best(Json& out, const Row& row) {
  if (!row.best) {
    out["best_value"] = nullptr;
    out["best_point"] = nullptr;
    out["best_status"] = nullptr;
    out["unbounded_below"] = nullptr;
    out["gap_at_start"] = nullptr;
    return;
  }
  out["best_value"] = json_number(row.best->value);
  out["best_point"] = json_numbers(row.best->point);
  out["best_status"] = row.best->status;
  out["unbounded_below"] = row.best->unbounded_below;
  out["gap_at_start"] = json_number(gap(row));
}

// Markers after f*, each explained under the table when used.
constexpr const char* kUnboundedMark = "*";
constexpr const char* kLocalMark = "~";

const char* mark(const BestKnown* best) {
  if (!is_local(best)) return " ";
  return best->unbounded_below ? kUnboundedMark : kLocalMark;
}

// f* and the gap, or dashes when nothing is stored.
std::string best_columns(const Row& row) {
  char buf[64];
  if (!row.best) {
    std::snprintf(buf, sizeof buf, "%15s  %10s", "-", "-");
  } else {
    std::snprintf(buf, sizeof buf, "%15.9g%s %10.6g", row.best->value, mark(row.best), gap(row));
  }
  return buf;
}

template <class Rows>
void print_footnotes(std::FILE* out, const Rows& rows) {
  bool unbounded = false;
  bool local = false;
  for (const Row& row : rows) {
    unbounded = unbounded || (is_local(row.best) && row.best->unbounded_below);
    local = local || (is_local(row.best) && !row.best->unbounded_below);
  }
  if (unbounded) {
    std::fprintf(out, "%s f* is a local minimum; the problem is unbounded below\n", kUnboundedMark);
  }
  if (local) std::fprintf(out, "%s f* is a local minimum\n", kLocalMark);
}

std::vector<Row> rows_of(Collection collection) {
  std::vector<Row> rows;
  if (collection == Collection::minimax) {
    for (const auto& info : minimax_problems()) {
      const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
      rows.push_back({info.number, dimensions_text(info.min_n, 0), p->objective(p->start()).value,
                      p->best_known()});
    }
  } else {
    for (const auto& info : nonsmooth_problems()) {
      const auto p = NonsmoothProblem::create(info.number, info.min_n);
      double f = 0;
      p->value(p->start(), f);
      rows.push_back({info.number, dimensions_text(info.min_n, info.max_n), f, p->best_known()});
    }
  }
  return rows;
}

Json minimax_json() {
  Json out = Json::array();
  const auto rows = rows_of(Collection::minimax);
  for (const auto& info : minimax_problems()) {
    const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
    Json row = {{"problem", info.number},
                {"min_n", info.min_n},
                {"m", info.m},
                {"itype", p->itype()},
                {"form", p->form()},
                {"fmin", json_number(p->fmin())},
                {"stepmax", json_number(p->stepmax())}};
    const Row& r = rows[static_cast<size_t>(info.number - 1)];
    row["value_at_start"] = json_number(r.start_value);
    row["k_at_start"] = p->objective(p->start()).k;
    add_best(row, r);
    row["summary"] = info.summary;
    out.push_back(std::move(row));
  }
  return out;
}

Json nonsmooth_json() {
  Json out = Json::array();
  const auto rows = rows_of(Collection::nonsmooth);
  for (const auto& info : nonsmooth_problems()) {
    Json row = {{"problem", info.number},
                {"min_n", info.min_n},
                {"max_n", info.max_n == 0 ? Json(nullptr) : Json(info.max_n)},
                {"form", "f"},
                {"fmin", json_number(info.fmin)},
                {"stepmax", json_number(info.stepmax)}};
    const Row& r = rows[static_cast<size_t>(info.number - 1)];
    row["value_at_start"] = json_number(r.start_value);
    add_best(row, r);
    row["summary"] = info.summary;
    out.push_back(std::move(row));
  }
  return out;
}

void print_minimax(std::FILE* out) {
  std::fprintf(out,
               "minimax collection: partial functions f_1..f_m; objective max f_k, or max |f_k| "
               "for the data fits (itype 0)\n");
  std::fprintf(out, "%4s %4s %3s %-9s %7s %15s %3s %16s %10s  %s\n", "prob", "n", "m", "form",
               "stepmax", "f at start", "k", "best known f*", "gap", "summary");
  const auto rows = rows_of(Collection::minimax);
  for (const auto& info : minimax_problems()) {
    const auto p = MinimaxProblem::create(info.number, info.min_n, info.m);
    const Row& row = rows[static_cast<size_t>(info.number - 1)];
    std::fprintf(out, "%4d %4s %3d %-9s %7g %15.9g %3d %s  %s\n", info.number,
                 row.dimensions.c_str(), info.m, p->form(), p->stepmax(), row.start_value,
                 p->objective(p->start()).k, best_columns(row).c_str(), info.summary);
  }
  print_footnotes(out, rows);
}

void print_nonsmooth(std::FILE* out) {
  std::fprintf(out, "nonsmooth collection: one objective f per problem\n");
  std::fprintf(out, "%4s %4s %7s %7s %15s %16s %10s  %s\n", "prob", "n", "fmin", "stepmax",
               "f at start", "best known f*", "gap", "summary");
  const auto rows = rows_of(Collection::nonsmooth);
  for (const auto& info : nonsmooth_problems()) {
    const Row& row = rows[static_cast<size_t>(info.number - 1)];
    std::fprintf(out, "%4d %4s %7g %7g %15.9g %s  %s\n", info.number, row.dimensions.c_str(),
                 info.fmin, info.stepmax, row.start_value, best_columns(row).c_str(), info.summary);
  }
  print_footnotes(out, rows);
}

}  // namespace

int run_list(const Console& io, const ListArgs& args) {
  if (args.positional.size() > 1) return unexpected_argument(io.err, "list", args.positional[1]);
  bool minimax = true;
  bool nonsmooth = true;
  if (!args.positional.empty()) {
    const auto collection = collection_argument(args.positional[0]);
    if (!collection.ok()) return usage_error(io.err, "list", collection.error);
    minimax = collection.value == Collection::minimax;
    nonsmooth = !minimax;
  }
  if (args.json) {
    Json out = Json::object();
    if (minimax) out["minimax"] = minimax_json();
    if (nonsmooth) out["nonsmooth"] = nonsmooth_json();
    print_json(io.out, out);
    return 0;
  }
  if (minimax) print_minimax(io.out);
  if (minimax && nonsmooth) std::fprintf(io.out, "\n");
  if (nonsmooth) print_nonsmooth(io.out);
  return 0;
}

}  // namespace kinkbench::tools
