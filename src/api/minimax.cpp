#include "kinkbench/minimax.hpp"

#include <array>
#include <cmath>
#include <string>

#include "api/message.hpp"
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

bool MinimaxProblem::value(int k, std::span<const double> x, double& fk) const {
  if (!fits(x, n_)) return false;
  core::value(n_, k, x.data(), &fk, number_, data_.data());
  return true;
}

bool MinimaxProblem::gradient(int k, std::span<const double> x, std::span<double> gk) const {
  if (!fits(x, n_) || gk.size() < static_cast<size_t>(n_)) return false;
  core::gradient(n_, k, x.data(), gk.data(), number_, data_.data());
  return true;
}

bool MinimaxProblem::hessian(int k, std::span<const double> x, std::span<double> hk) const {
  if (!fits(x, n_) || static_cast<std::int64_t>(hk.size()) < detail::packed_size(n_)) {
    return false;
  }
  core::hessian(n_, k, x.data(), hk.data(), number_, data_.data());
  return true;
}

MinimaxProblem::Objective MinimaxProblem::objective(std::span<const double> x) const {
  Objective best{NAN, 1};
  for (int k = 1; k <= m_; ++k) {
    double fk = NAN;
    core::value(n_, k, x.data(), &fk, number_, data_.data());
    if (k == 1 || (!std::isnan(fk) && detail::replaces_max(fk, best.value))) best = {fk, k};
  }
  return best;
}

}  // namespace kinkbench
