// The structure behind every objective of both collections: a smooth part plus sums of
// maxima of smooth pieces,
//
//   f(x) = s(x) + sum over groups g = 1..G of max_{i in I_g} phi_{g,i}(x),
//
// each piece's value and gradient, the pieces active within eps, and the least norm of
// an element of  grad s(x) + sum_g conv{grad phi_{g,i}(x) : i active}  as a measure of
// stationarity. A minimax problem has one group: its f_k, or +f_k and -f_k for the data
// fits (itype 0), whose objective is max |f_k|. See docs/kinks.md.
//
// Evaluation (evaluate, active, stationarity) never allocates, throws or prints: outputs
// are the caller's spans and a PieceWorkspace made once per Pieces object.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kinkbench/export.h"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace kinkbench {

class PieceWorkspace;

class KINKBENCH_API Pieces {
 public:
  // A copy of the problem is kept, so the object stands on its own.
  explicit Pieces(const MinimaxProblem& problem);
  explicit Pieces(const NonsmoothProblem& problem);

  bool minimax() const { return minimax_; }
  int number() const { return number_; }
  int n() const { return n_; }
  // G; pieces are numbered 0..piece_count()-1 group after group.
  int group_count() const { return static_cast<int>(group_first_.size()) - 1; }
  int piece_count() const { return group_first_.back(); }
  // Group g = 1..G holds pieces first(g) .. first(g) + size(g) - 1.
  int first(int g) const { return group_first_[static_cast<size_t>(g - 1)]; }
  int size(int g) const { return first(g + 1) - first(g); }
  int group_of(int piece) const;
  // False when s is identically 0 (every minimax problem, the pure maxima).
  bool has_smooth() const { return has_smooth_; }
  // The piece's name from the problem's formula: "f3", "+f2", "-f2", "0", "c1", "r4", ...
  std::string name(int piece) const;

  // s(x) and grad s into s and ds (n entries); every piece value into phi (piece_count)
  // and its gradient into row p of dphi (piece_count * n, row-major). Every output is
  // written in full. False, writing nothing, when a span is too short.
  bool evaluate(std::span<const double> x, double& s, std::span<double> ds, std::span<double> phi,
                std::span<double> dphi) const;

  // s + sum_g max_i phi_{g,i} under the collections' maximum rule (NaN pieces passed
  // over), from values evaluate() wrote.
  double objective(double s, std::span<const double> phi) const;

  // Evaluates at x into ws and marks per group the pieces with
  // phi_{g,i} >= max_i phi_{g,i} - eps (NaN pieces never). False when x is too short, ws
  // was made for another shape or eps is negative or NaN.
  bool active(std::span<const double> x, double eps, PieceWorkspace& ws) const;

  struct Stationarity {
    double norm;  // ||element||; NaN when a group has no active piece or a gradient is not finite
    // ||z||^2 - min over the set of <z, y> at the returned z: >= 0 up to rounding, and
    // ||z - z*||^2 <= gap for the true least-norm element z*.
    double gap;
    int iterations;
    bool converged;
  };
  // The least-norm element z of grad s + sum_g conv{grad phi_{g,i}: i active within eps}:
  // z into element (n), the weights into multipliers (piece_count; 0 for inactive pieces,
  // summing to 1 over each group). Runs active() first, so ws holds the activity too.
  // {NaN, NaN, 0, false} with nothing written when an argument is refused.
  Stationarity stationarity(std::span<const double> x, double eps, PieceWorkspace& ws,
                            std::span<double> multipliers, std::span<double> element) const;

 private:
  friend class PieceWorkspace;
  void evaluate_into(const double* x, double& s, double* ds, double* phi, double* dphi) const;

  bool minimax_;
  int number_;
  int n_;
  bool has_smooth_ = false;
  bool fit_ = false;                // minimax itype 0: the pieces are +f_k and -f_k
  std::vector<int> group_first_;    // G + 1 entries
  std::vector<MinimaxProblem> mm_;  // one of the two holds the problem
  std::vector<NonsmoothProblem> ns_;
};

// Scratch space and the last activity of one Pieces object; made once, reused for any
// number of points. Not shared between threads.
class KINKBENCH_API PieceWorkspace {
 public:
  explicit PieceWorkspace(const Pieces& pieces);

  // From the last active() or stationarity() call.
  double smooth() const { return s_; }
  std::span<const double> smooth_gradient() const { return ds_; }
  std::span<const double> values() const { return phi_; }
  std::span<const double> gradient(int piece) const {
    return std::span<const double>(dphi_).subspan(static_cast<size_t>(piece) * n_, n_);
  }
  bool is_active(int piece) const { return active_[static_cast<size_t>(piece)] != 0; }
  double group_max(int g) const { return group_max_[static_cast<size_t>(g - 1)]; }
  int active_count(int g) const { return active_count_[static_cast<size_t>(g - 1)]; }

 private:
  friend class Pieces;
  size_t n_;
  int pieces_;
  int groups_;
  double s_ = 0;
  std::vector<double> ds_, phi_, dphi_, group_max_;
  std::vector<std::uint8_t> active_;
  std::vector<int> active_count_;
  // The least-norm solver's corral: up to n + 1 vertices, each a choice of one active
  // piece per group with several, its point, and the least-squares scratch.
  std::vector<int> multi_;                // groups with more than one active piece
  std::vector<int> choice_, choice_new_;  // corral choices, (n + 1) x multi groups
  std::vector<double> base_, point_, weight_, alpha_, z_, s_point_, qr_, rhs_;
};

}  // namespace kinkbench
