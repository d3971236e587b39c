// The decomposition must reproduce every problem: the pieces' maxima plus s give the
// library's value, the gradient the tie rules pick is one combination of active pieces,
// and the least-norm element is what the definition says.
#include "kinkbench/pieces.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;
using kinkbench::Pieces;
using kinkbench::PieceWorkspace;
using Vec = std::vector<double>;

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Value: the library sums its terms in orders that the decomposition cannot all follow
// (nonsmooth 9, 14 and 25 add the smooth part around the absolute values), so there a
// relative difference of a few units in the last place of the terms is allowed.
constexpr double kValueTolerance = 1e-14;
// Gradient: the library folds some pieces' coefficients together (nonsmooth 9, 11, 14, 25:
// 7.5 x instead of 4 x + 3.5 x); relative to the sum of the magnitudes added.
constexpr double kGradientTolerance = 1e-13;

struct Tally {
  int points = 0, identical = 0, tolerance = 0, failures = 0;
  std::set<std::string> tolerant;  // problems with a value or gradient within tolerance
};

struct Sample {
  double s;
  Vec ds, phi, dphi;
};

Sample evaluate(const Pieces& p, const Vec& x) {
  Sample e{0, Vec(static_cast<size_t>(p.n())), Vec(static_cast<size_t>(p.piece_count())),
           Vec(static_cast<size_t>(p.piece_count() * p.n()))};
  EXPECT_TRUE(p.evaluate(x, e.s, e.ds, e.phi, e.dphi));
  return e;
}

// Scale of the value's terms: |s| + sum over groups of |max|.
double value_scale(const Pieces& p, const Sample& e) {
  double scale = std::fabs(e.s);
  for (int g = 1; g <= p.group_count(); ++g) {
    double top = -INFINITY;
    for (int i = p.first(g); i < p.first(g + 1); ++i) top = std::max(top, e.phi[size_t(i)]);
    scale += std::fabs(top);
  }
  return scale;
}

enum class Match { identical, tolerance, none };

Match compare_value(double library, double pieces, double scale) {
  if (same_bits(library, pieces)) return Match::identical;
  if (std::fabs(library - pieces) <= kValueTolerance * scale) return Match::tolerance;
  return Match::none;
}

// Is g one of ds + sum_g grad phi_{g, i_g} over the pieces attaining each group's maximum?
// Every combination is tried (at seeded points there is one; at x* a few).
Match gradient_is_a_generator(const Pieces& p, const Sample& e, const Vec& g) {
  const size_t n = static_cast<size_t>(p.n());
  std::vector<std::vector<int>> top(static_cast<size_t>(p.group_count()));
  for (int grp = 1; grp <= p.group_count(); ++grp) {
    double best = NAN;
    for (int i = p.first(grp); i < p.first(grp + 1); ++i) {
      const double v = e.phi[size_t(i)];
      if (!std::isnan(v) && (std::isnan(best) || v > best)) best = v;
    }
    for (int i = p.first(grp); i < p.first(grp + 1); ++i) {
      if (e.phi[size_t(i)] == best) top[size_t(grp - 1)].push_back(i);
    }
    if (top[size_t(grp - 1)].empty()) return Match::none;
  }
  std::vector<size_t> pick(top.size(), 0);
  Match found = Match::none;
  for (int tries = 0; tries < 1 << 14; ++tries) {
    Vec c = e.ds, mag(n);
    for (size_t j = 0; j < n; ++j) mag[j] = std::fabs(e.ds[j]);
    for (size_t t = 0; t < top.size(); ++t) {
      const double* v = &e.dphi[size_t(top[t][pick[t]]) * n];
      for (size_t j = 0; j < n; ++j) {
        c[j] += v[j];
        mag[j] += std::fabs(v[j]);
      }
    }
    bool exact = true, close = true;
    for (size_t j = 0; j < n; ++j) {
      exact = exact && (same_bits(c[j], g[j]) || (c[j] == 0 && g[j] == 0));
      close = close && std::fabs(c[j] - g[j]) <= kGradientTolerance * mag[j];
    }
    if (exact) return Match::identical;
    if (close) found = Match::tolerance;
    size_t t = 0;
    while (t < top.size() && ++pick[t] == top[t].size()) pick[t++] = 0;
    if (t == top.size()) break;
  }
  return found;
}

void count(Tally& tally, Match value, Match gradient, const std::string& where) {
  ++tally.points;
  if (value == Match::none || gradient == Match::none) {
    ++tally.failures;
    ADD_FAILURE() << where << (value == Match::none ? ": value" : ": gradient");
  } else if (value == Match::identical && gradient == Match::identical) {
    ++tally.identical;
  } else {
    ++tally.tolerance;
    tally.tolerant.insert(where.substr(0, where.find(" at")));
  }
}

std::vector<Vec> points(std::span<const double> start, const kinkbench::BestKnown* best) {
  const Vec x0(start.begin(), start.end());
  std::vector<Vec> xs{x0};
  for (unsigned seed = 1; seed <= 20; ++seed) {
    xs.push_back(kinkbench::check::nearby_point(x0, seed, seed <= 10 ? 0.1 : 1.0));
  }
  if (best != nullptr) xs.emplace_back(best->point.begin(), best->point.end());
  return xs;
}

void check_minimax(Tally& tally) {
  for (const auto& info : kinkbench::minimax_problems()) {
    const auto problem = MinimaxProblem::create(info.number, info.min_n, info.m);
    ASSERT_TRUE(problem);
    const Pieces p(*problem);
    ASSERT_EQ(p.group_count(), 1);
    ASSERT_EQ(p.piece_count(), problem->itype() == 0 ? 2 * info.m : info.m);
    const auto xs = points(problem->start(), problem->best_known());
    for (size_t k = 0; k < xs.size(); ++k) {
      const std::string where =
          "minimax " + std::to_string(info.number) + " at " +
          (k + 1 == xs.size() && problem->best_known() ? "x*" : "point " + std::to_string(k));
      const Sample e = evaluate(p, xs[k]);
      const auto objective = problem->objective(xs[k]);
      const Match value =
          compare_value(objective.value, p.objective(e.s, e.phi), value_scale(p, e));
      Vec g(static_cast<size_t>(info.min_n), 0.0);
      problem->gradient(objective.k, xs[k], g);
      double fk = 0;
      problem->value(objective.k, xs[k], fk);
      if (problem->itype() == 0 && std::signbit(fk)) {
        for (double& gi : g) gi = -gi;
      }
      count(tally, value, gradient_is_a_generator(p, e, g), where);
    }
  }
}

void check_nonsmooth(Tally& tally) {
  for (const auto& info : kinkbench::nonsmooth_problems()) {
    const auto problem = NonsmoothProblem::create(info.number, info.min_n);
    ASSERT_TRUE(problem);
    const Pieces p(*problem);
    const auto xs = points(problem->start(), problem->best_known());
    for (size_t k = 0; k < xs.size(); ++k) {
      const std::string where =
          "nonsmooth " + std::to_string(info.number) + " at " +
          (k + 1 == xs.size() && problem->best_known() ? "x*" : "point " + std::to_string(k));
      const Sample e = evaluate(p, xs[k]);
      double f = 0;
      problem->value(xs[k], f);
      const Match value = compare_value(f, p.objective(e.s, e.phi), value_scale(p, e));
      Vec g(static_cast<size_t>(info.min_n));
      problem->gradient(xs[k], g);
      // Where a distance of problem 18 is 0 the gradient is NaN in both.
      count(tally, value, gradient_is_a_generator(p, e, g), where);
    }
  }
}

TEST(Pieces, ReproduceEveryProblemsValueAndChosenGradient) {
  Tally tally;
  check_minimax(tally);
  check_nonsmooth(tally);
  std::string tolerant;
  for (const auto& t : tally.tolerant) tolerant += (tolerant.empty() ? "" : ", ") + t;
  std::printf("consistency: %d points, %d bit-identical, %d within tolerance (%s), %d failures\n",
              tally.points, tally.identical, tally.tolerance, tolerant.c_str(), tally.failures);
  EXPECT_EQ(tally.failures, 0);
  EXPECT_EQ(tally.points, tally.identical + tally.tolerance);
}

}  // namespace
