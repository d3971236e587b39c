#include "kinkbench/minimax.hpp"

#include <array>
#include <cmath>
#include <string>

#include "api/message.hpp"
#include "api/optima_table.hpp"
#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench {
namespace {

namespace core = minimax;

int effective_number(int number) {
  return (number >= 2 && number <= core::kProblemCount) ? number : 1;
}

std::array<MinimaxInfo, core::kProblemCount> make_infos() {
  std::array<MinimaxInfo, core::kProblemCount> infos{};
  for (int i = 1; i <= core::kProblemCount; ++i) {
    const core::Problem& p = core::problem(i);
    infos[static_cast<size_t>(i - 1)] = {i,           p.min_n,   p.m,          p.itype,
                                         core::kFmin, p.stepmax, p.reads_data, p.summary};
  }
  return infos;
}

bool fits(std::span<const double> x, int n) { return n <= 0 || x.size() >= static_cast<size_t>(n); }

}  // namespace

std::span<const MinimaxInfo> minimax_problems() {
  static const std::array<MinimaxInfo, core::kProblemCount> infos = make_infos();
  return infos;
}

Expected<MinimaxProblem> MinimaxProblem::create(int number, int n, int capacity) {
  const int effective = effective_number(number);
  const core::Problem& p = core::problem(effective);
  if (n < p.min_n) {
    return SetupError{
        SetupErrorCode::dimension_too_small,
        detail::message("minimax problem %d needs n >= %d, got %d", effective, p.min_n, n)};
  }
  if (capacity < p.min_m) {
    return SetupError{SetupErrorCode::capacity_too_small,
                      detail::message("minimax problem %d has %d partial functions, capacity "
                                      "%d is too small",
                                      effective, p.m, capacity)};
  }
  if (n > kLargestDimension) return detail::too_large("minimax", effective, n);
  MinimaxProblem problem;
  problem.number_ = effective;
  problem.n_ = n;
  problem.m_ = capacity;
  problem.start_.assign(static_cast<size_t>(n), 0.0);
  int ierr = 0;
  core::setup(n, &problem.m_, problem.start_.data(), &problem.fmin_, &problem.stepmax_, effective,
              &problem.itype_, &ierr, problem.data_.data());
  return problem;
}

int MinimaxProblem::min_n() const { return core::problem(number_).min_n; }

bool MinimaxProblem::reads_data() const { return core::problem(number_).reads_data; }

const BestKnown* MinimaxProblem::best_known() const {
  return detail::find_optimum(true, number_, n_);
}

bool MinimaxProblem::value(int k, std::span<const double> x, double& fk) const {
  if (!fits(x, n_)) return false;
  tallies_.partial_values.add();
  core::value(n_, k, x.data(), &fk, number_, data_.data());
  return true;
}

bool MinimaxProblem::gradient(int k, std::span<const double> x, std::span<double> gk) const {
  if (!fits(x, n_) || gk.size() < static_cast<size_t>(n_)) return false;
  tallies_.partial_gradients.add();
  core::gradient(n_, k, x.data(), gk.data(), number_, data_.data());
  return true;
}

bool MinimaxProblem::hessian(int k, std::span<const double> x, std::span<double> hk) const {
  if (!fits(x, n_) || static_cast<std::int64_t>(hk.size()) < detail::packed_size(n_)) {
    return false;
  }
  tallies_.partial_hessians.add();
  core::hessian(n_, k, x.data(), hk.data(), number_, data_.data());
  return true;
}

bool MinimaxProblem::values(std::span<const double> x, std::span<double> out) const {
  if (!fits(x, n_) || out.size() < static_cast<size_t>(m_)) return false;
  tallies_.values.add();
  for (int k = 1; k <= m_; ++k) {
    core::value(n_, k, x.data(), &out[static_cast<size_t>(k - 1)], number_, data_.data());
  }
  return true;
}

bool MinimaxProblem::jacobian(std::span<const double> x, std::span<double> out) const {
  const size_t row = static_cast<size_t>(n_);
  if (!fits(x, n_) || out.size() / row < static_cast<size_t>(m_)) return false;
  tallies_.jacobians.add();
  for (int k = 1; k <= m_; ++k) {
    double* g = &out[static_cast<size_t>(k - 1) * row];
    detail::clear(g, n_);
    core::gradient(n_, k, x.data(), g, number_, data_.data());
  }
  return true;
}

namespace {

// The first term is taken as it is; a later one replaces it by the maximum rule, except
// that a NaN term never does, so a NaN comes back only when every term is NaN.
template <class Term>
MinimaxProblem::Objective scan_max(int m, Term term) {
  MinimaxProblem::Objective best{NAN, 1};
  for (int k = 1; k <= m; ++k) {
    const double t = term(k);
    if (k == 1 || (!std::isnan(t) && detail::replaces_max(t, best.value))) best = {t, k};
  }
  return best;
}

}  // namespace

MinimaxProblem::Objective MinimaxProblem::largest(std::span<const double> x) const {
  if (!fits(x, n_)) return {NAN, 0};
  tallies_.values.add();
  return scan_max(m_, [&](int k) {
    double fk = NAN;
    core::value(n_, k, x.data(), &fk, number_, data_.data());
    return fk;
  });
}

MinimaxProblem::Objective MinimaxProblem::objective(std::span<const double> x) const {
  if (itype_ != 0) return largest(x);  // which checks x and counts the evaluation
  if (!fits(x, n_)) return {NAN, 0};
  tallies_.values.add();
  return scan_max(m_, [&](int k) {
    double fk = NAN;
    core::value(n_, k, x.data(), &fk, number_, data_.data());
    return std::fabs(fk);
  });
}

const char* MinimaxProblem::form() const { return itype_ == 0 ? "max |f_k|" : "max f_k"; }

MinimaxProblem::Counts MinimaxProblem::counts() const {
  return {tallies_.values.get(), tallies_.jacobians.get(), tallies_.partial_values.get(),
          tallies_.partial_gradients.get(), tallies_.partial_hessians.get()};
}

MinimaxProblem::Counts MinimaxProblem::reset_counts() const {
  return {tallies_.values.take(), tallies_.jacobians.take(), tallies_.partial_values.take(),
          tallies_.partial_gradients.take(), tallies_.partial_hessians.take()};
}

}  // namespace kinkbench
