#include "kinkbench/nonsmooth.hpp"

#include <array>
#include <string>

#include "api/message.hpp"
#include "api/optima_table.hpp"
#include "core/rules.hpp"
#include "test19/problems.hpp"

namespace kinkbench {
namespace {

namespace core = nonsmooth;

int effective_number(int number) {
  return (number >= 2 && number <= core::kProblemCount) ? number : 1;
}

std::array<NonsmoothInfo, core::kProblemCount> make_infos() {
  std::array<NonsmoothInfo, core::kProblemCount> infos{};
  for (int i = 1; i <= core::kProblemCount; ++i) {
    const core::Problem& p = core::problem(i);
    infos[static_cast<size_t>(i - 1)] = {i,         p.min_n,      p.max_n,  p.fmin,
                                         p.stepmax, p.reads_data, p.summary};
  }
  return infos;
}

bool fits(std::span<const double> x, int n) { return n <= 0 || x.size() >= static_cast<size_t>(n); }

}  // namespace

std::span<const NonsmoothInfo> nonsmooth_problems() {
  static const std::array<NonsmoothInfo, core::kProblemCount> infos = make_infos();
  return infos;
}

Expected<NonsmoothProblem> NonsmoothProblem::create(int number, int n) {
  const int effective = effective_number(number);
  const core::Problem& p = core::problem(effective);
  // A problem laid out for one n is refused with that n, whichever side n misses it on.
  if (p.max_n != 0 && p.max_n == p.min_n && n != p.min_n) {
    return SetupError{
        n < p.min_n ? SetupErrorCode::dimension_too_small : SetupErrorCode::dimension_too_large,
        detail::message("nonsmooth problem %d is defined for n = %d only, got %d", effective,
                        p.min_n, n)};
  }
  if (n < p.min_n) {
    return SetupError{
        SetupErrorCode::dimension_too_small,
        detail::message("nonsmooth problem %d needs n >= %d, got %d", effective, p.min_n, n)};
  }
  if (p.max_n != 0 && n > p.max_n) {
    return SetupError{SetupErrorCode::dimension_too_large,
                      detail::message("nonsmooth problem %d is defined for n = %d only, got %d",
                                      effective, p.max_n, n)};
  }
  if (n > kLargestDimension) return detail::too_large("nonsmooth", effective, n);
  NonsmoothProblem problem;
  problem.number_ = effective;
  problem.n_ = n;
  problem.start_.assign(static_cast<size_t>(n), 0.0);
  problem.data_.assign(kDataSize, 0.0);
  int ierr = 0;
  core::setup(n, problem.start_.data(), &problem.fmin_, &problem.stepmax_, effective, &ierr,
              problem.data_.data());
  return problem;
}

int NonsmoothProblem::min_n() const { return core::problem(number_).min_n; }

bool NonsmoothProblem::reads_data() const { return core::problem(number_).reads_data; }

const BestKnown* NonsmoothProblem::best_known() const {
  return detail::find_optimum(false, number_, n_);
}

bool NonsmoothProblem::value(std::span<const double> x, double& f) const {
  if (!fits(x, n_)) return false;
  tallies_.values.add();
  core::value(n_, x.data(), &f, number_, data_.data());
  return true;
}

bool NonsmoothProblem::gradient(std::span<const double> x, std::span<double> g) const {
  if (!fits(x, n_) || g.size() < static_cast<size_t>(n_)) return false;
  tallies_.gradients.add();
  core::gradient(n_, x.data(), g.data(), number_, data_.data());
  return true;
}

bool NonsmoothProblem::hessian(std::span<const double> x, std::span<double> h) const {
  if (!fits(x, n_) || static_cast<std::int64_t>(h.size()) < detail::packed_size(n_)) {
    return false;
  }
  tallies_.hessians.add();
  core::hessian(n_, x.data(), h.data(), number_, data_.data());
  return true;
}

NonsmoothProblem::Counts NonsmoothProblem::counts() const {
  return {tallies_.values.get(), tallies_.gradients.get(), tallies_.hessians.get()};
}

NonsmoothProblem::Counts NonsmoothProblem::reset_counts() const {
  return {tallies_.values.take(), tallies_.gradients.take(), tallies_.hessians.take()};
}

}  // namespace kinkbench
