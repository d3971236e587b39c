// C++ interface to the nonsmooth collection. A problem object owns a private copy of its
// data area, so any number can be live at once and a const object may be evaluated from
// many threads. Results are bit-identical to the C routines'.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "kinkbench/best_known.hpp"
#include "kinkbench/detail/expected.hpp"
#include "kinkbench/detail/tally.hpp"
#include "kinkbench/export.h"

namespace kinkbench {

// One row of the collection's table.
struct NonsmoothInfo {
  int number;
  int min_n;
  int max_n;  // 0: no upper limit
  double fmin;
  double stepmax;
  bool reads_data;
  const char* summary;
};

// All 25 problems, by number.
KINKBENCH_API std::span<const NonsmoothInfo> nonsmooth_problems();

class KINKBENCH_API NonsmoothProblem {
 public:
  static constexpr int kDataSize = 2700;

  // Sets up problem `number` (1..25; any other number is problem 1) for n variables.
  static Expected<NonsmoothProblem> create(int number, int n);

  int number() const { return number_; }
  int n() const { return n_; }
  int min_n() const;
  double fmin() const { return fmin_; }
  double stepmax() const { return stepmax_; }
  bool reads_data() const;
  std::span<const double> start() const { return start_; }
  std::span<const double> data() const { return data_; }
  // The stored best-known optimum at this n (the objective's value and a point); nullptr
  // when none is stored for this n.
  const BestKnown* best_known() const;

  // Each clears its output first and writes what tffu19/tfgu19/tfhd19 write. They return
  // false, writing nothing, when x has fewer than n entries or the output is shorter
  // than n (gradient) or n(n+1)/2 (Hessian).
  bool value(std::span<const double> x, double& f) const;
  bool gradient(std::span<const double> x, std::span<double> g) const;
  bool hessian(std::span<const double> x, std::span<double> h) const;

  // The evaluation calls made on this object since it was created or last reset, from any
  // number of threads, exactly. Each accepted call counts once; one refused (returning
  // false) does not. Copies carry the counts over; the copy then counts on its own.
  struct Counts {
    std::int64_t values;     // value
    std::int64_t gradients;  // gradient
    std::int64_t hessians;   // hessian
    friend bool operator==(const Counts&, const Counts&) = default;
  };
  Counts counts() const;
  // Sets the counts to zero and returns them as they were, none lost to a call made
  // meanwhile on another thread.
  Counts reset_counts() const;

 private:
  NonsmoothProblem() = default;

  int number_ = 1;
  int n_ = 0;
  double fmin_ = 0;
  double stepmax_ = 0;
  std::vector<double> start_;
  std::vector<double> data_;  // kDataSize entries; on the heap, the object stays small
  struct alignas(detail::kTallyAlignment) Tallies {
    detail::Tally values, gradients, hessians;
  };
  mutable Tallies tallies_;  // evaluation from const objects counts too
};

}  // namespace kinkbench
