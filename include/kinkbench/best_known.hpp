// The best-known optimum of a problem, as stored with the collection (data/optima.json,
// embedded at build time). Reached through MinimaxProblem::best_known() and
// NonsmoothProblem::best_known().
#pragma once

#include <span>

namespace kinkbench {

struct BestKnown {
  int number;
  int n;                          // the dimension the entry holds for
  double value;                   // the objective at point, exactly as this library computes it
  std::span<const double> point;  // n entries
  // "certified" (a stored lower bound meets value: an LP dual, a Lagrangian or another
  // dual object; data/README.md), "closed form" (a short argument proves value and point
  // is the closed-form point), "best known" (many starts agree, no proof) or "local" (the
  // problem is unbounded below; the local minimum the standard start leads to).
  const char* status;
  const char* method;    // how it was found, in a few words
  bool unbounded_below;  // status "local"; data/optima.json holds the ray or curve
};

}  // namespace kinkbench
