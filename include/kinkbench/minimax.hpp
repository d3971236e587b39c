// C++ interface to the minimax collection. A problem object owns a private copy of its
// data area, so any number can be live at once and a const object may be evaluated from
// many threads. Results are bit-identical to the C routines'.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "kinkbench/best_known.hpp"
#include "kinkbench/detail/expected.hpp"
#include "kinkbench/detail/tally.hpp"
#include "kinkbench/export.h"

namespace kinkbench {

// One row of the collection's table.
struct MinimaxInfo {
  int number;
  int min_n;
  int m;  // number of partial functions; also the smallest capacity accepted
  int itype;
  double fmin;
  double stepmax;
  bool reads_data;
  const char* summary;
};

// All 25 problems, by number.
KINKBENCH_API std::span<const MinimaxInfo> minimax_problems();

class KINKBENCH_API MinimaxProblem {
 public:
  static constexpr int kDataSize = 123;

  // Sets up problem `number` (1..25; any other number is problem 1, as in the C
  // routines) for n variables and a caller able to handle `capacity` partial functions.
  static Expected<MinimaxProblem> create(int number, int n, int capacity);

  int number() const { return number_; }
  int n() const { return n_; }
  int min_n() const;
  int m() const { return m_; }
  int itype() const { return itype_; }
  double fmin() const { return fmin_; }
  double stepmax() const { return stepmax_; }
  bool reads_data() const;
  // The starting point; components the problem does not set are 0.
  std::span<const double> start() const { return start_; }
  std::span<const double> data() const { return data_; }
  // The stored best-known optimum at this n (the objective's value and a point); nullptr
  // when none is stored for this n.
  const BestKnown* best_known() const;

  // Each writes exactly what tafu06/tagu06/tahd06 write and leaves the rest. They return
  // false, writing nothing, when x has fewer than n entries or the output is shorter
  // than n (gradient) or n(n+1)/2 (Hessian).
  bool value(int k, std::span<const double> x, double& fk) const;
  bool gradient(int k, std::span<const double> x, std::span<double> gk) const;
  bool hessian(int k, std::span<const double> x, std::span<double> hk) const;

  // All partial functions at once, bit-identical to value/gradient for k = 1..m. values
  // writes out[k-1] = f_k; jacobian writes row k-1 (n entries, row-major) = the gradient of
  // f_k, each row cleared first, so entries a problem leaves undefined are 0. They return
  // false, writing nothing, when x has fewer than n entries or out fewer than m (m*n).
  bool values(std::span<const double> x, std::span<double> out) const;
  bool jacobian(std::span<const double> x, std::span<double> out) const;

  struct Objective {
    double value;  // the maximum; NaN terms are passed over
    int k;         // the first k that attains it (1 when every term is NaN); 0: refused
  };
  // The objective an optimiser minimises: max f_k for itype -1, and max |f_k| for the data
  // fits (itype 0), whose plain maximum is unbounded below. form() names which.
  // Both refuse an x with fewer than n entries: {NaN, 0}, not counted.
  Objective objective(std::span<const double> x) const;
  // The plain max f_k, whatever itype is.
  Objective largest(std::span<const double> x) const;
  // "max f_k" or "max |f_k|".
  const char* form() const;

  // The evaluation calls made on this object since it was created or last reset, from any
  // number of threads, exactly. Each accepted call counts once; one refused (returning
  // false) does not. An evaluation of all partial functions at a point is what solver
  // comparisons call one function evaluation, so it is counted apart from single f_k: a
  // solver that asks for f_k one k at a time has made partial_values / m function
  // evaluations and partial_gradients / m gradient evaluations.
  // Copies carry the counts over; the copy then counts on its own.
  struct Counts {
    std::int64_t values;             // values, objective and largest: every f_k at once
    std::int64_t jacobians;          // jacobian: every gradient at once
    std::int64_t partial_values;     // value(k, ...)
    std::int64_t partial_gradients;  // gradient(k, ...)
    std::int64_t partial_hessians;   // hessian(k, ...)
    friend bool operator==(const Counts&, const Counts&) = default;
  };
  Counts counts() const;
  // Sets the counts to zero and returns them as they were, none lost to a call made
  // meanwhile on another thread.
  Counts reset_counts() const;

 private:
  MinimaxProblem() = default;

  int number_ = 1;
  int n_ = 0;
  int m_ = 0;
  int itype_ = -1;
  double fmin_ = 0;
  double stepmax_ = 0;
  std::vector<double> start_;
  std::array<double, kDataSize> data_{};
  struct alignas(detail::kTallyAlignment) Tallies {
    detail::Tally values, jacobians, partial_values, partial_gradients, partial_hessians;
  };
  mutable Tallies tallies_;  // evaluation from const objects counts too
};

}  // namespace kinkbench
