#include "kinkbench/pieces.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/rules.hpp"
#include "minimax/problems.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench {
namespace {

size_t sz(int v) { return static_cast<size_t>(v); }

double dot(const double* a, const double* b, size_t n) {
  double s = 0;
  for (size_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

}  // namespace

Pieces::Pieces(const MinimaxProblem& problem)
    : minimax_(true), number_(problem.number()), n_(problem.n()) {
  mm_.push_back(problem);
  fit_ = problem.itype() == 0;
  group_first_ = {0, fit_ ? 2 * problem.m() : problem.m()};
}

Pieces::Pieces(const NonsmoothProblem& problem)
    : minimax_(false), number_(problem.number()), n_(problem.n()) {
  ns_.push_back(problem);
  const nonsmooth::PieceForm& form = nonsmooth::piece_form(number_);
  has_smooth_ = form.smooth;
  const int groups = form.groups(n_, nullptr);
  std::vector<int> sizes(sz(groups));
  form.groups(n_, sizes.data());
  group_first_.assign(1, 0);
  for (int s : sizes) group_first_.push_back(group_first_.back() + s);
}

int Pieces::group_of(int piece) const {
  const auto it = std::upper_bound(group_first_.begin(), group_first_.end(), piece);
  return static_cast<int>(it - group_first_.begin());
}

std::string Pieces::name(int piece) const {
  if (piece < 0 || piece >= piece_count()) return {};
  if (minimax_) {
    const int m = mm_.front().m();
    return nonsmooth::numbered(fit_ ? (piece < m ? "+f" : "-f") : "f",
                               fit_ ? piece % m + 1 : piece + 1);
  }
  const int g = group_of(piece);
  return nonsmooth::piece_form(number_).name(n_, g, piece - first(g));
}

void Pieces::evaluate_into(const double* x, double& s, double* ds, double* phi,
                           double* dphi) const {
  const size_t n = sz(n_);
  const size_t p = sz(piece_count());
  s = 0;
  detail::clear(ds, static_cast<std::int64_t>(n));
  detail::clear(phi, static_cast<std::int64_t>(p));
  detail::clear(dphi, static_cast<std::int64_t>(n * p));
  const std::span<const double> xs(x, n);
  if (minimax_) {
    // The public calls, so the evaluations count on the copy like any other; jacobian
    // clears each row before the problem writes it.
    const MinimaxProblem& mm = mm_.front();
    const size_t m = sz(mm.m());
    mm.values(xs, std::span<double>(phi, m));
    mm.jacobian(xs, std::span<double>(dphi, m * n));
    if (fit_) {
      for (size_t k = 0; k < m; ++k) {
        phi[m + k] = -phi[k];
        for (size_t i = 0; i < n; ++i) dphi[(m + k) * n + i] = -dphi[k * n + i];
      }
    }
    return;
  }
  const NonsmoothProblem& ns = ns_.front();
  const nonsmooth::PieceOut out{n_, &s, ds, phi, dphi};
  nonsmooth::piece_form(number_).decompose(n_, x, ns.data().data(), out);
}

bool Pieces::evaluate(std::span<const double> x, double& s, std::span<double> ds,
                      std::span<double> phi, std::span<double> dphi) const {
  const size_t n = sz(n_);
  const size_t p = sz(piece_count());
  if (x.size() < n || ds.size() < n || phi.size() < p || dphi.size() < p * n) return false;
  evaluate_into(x.data(), s, ds.data(), phi.data(), dphi.data());
  return true;
}

double Pieces::objective(double s, std::span<const double> phi) const {
  double f = s;
  for (int g = 1; g <= group_count(); ++g) {
    double run = phi[sz(first(g))];
    for (int i = first(g) + 1; i < first(g + 1); ++i) {
      if (detail::replaces_max(phi[sz(i)], run)) run = phi[sz(i)];
    }
    f = f + run;
  }
  return f;
}

PieceWorkspace::PieceWorkspace(const Pieces& pieces)
    : n_(sz(pieces.n())), pieces_(pieces.piece_count()), groups_(pieces.group_count()) {
  const size_t p = sz(pieces_);
  const size_t g = sz(groups_);
  const size_t corral = n_ + 1;
  ds_.assign(n_, 0);
  phi_.assign(p, 0);
  dphi_.assign(p * n_, 0);
  group_max_.assign(g, 0);
  active_.assign(p, 0);
  active_count_.assign(g, 0);
  multi_.assign(g, 0);
  choice_.assign(corral * g, 0);
  choice_new_.assign(g, 0);
  base_.assign(n_, 0);
  point_.assign(corral * n_, 0);
  weight_.assign(corral, 0);
  alpha_.assign(corral, 0);
  z_.assign(n_, 0);
  s_point_.assign(n_, 0);
  qr_.assign(n_ * corral, 0);
  rhs_.assign(std::max(n_, corral), 0);
}

bool Pieces::active(std::span<const double> x, double eps, PieceWorkspace& ws) const {
  if (x.size() < sz(n_) || ws.n_ != sz(n_) || ws.pieces_ != piece_count() ||
      ws.groups_ != group_count() || !(eps >= 0)) {
    return false;
  }
  evaluate_into(x.data(), ws.s_, ws.ds_.data(), ws.phi_.data(), ws.dphi_.data());
  for (int g = 1; g <= group_count(); ++g) {
    double top = ws.phi_[sz(first(g))];
    for (int i = first(g) + 1; i < first(g + 1); ++i) {
      if (detail::replaces_max(ws.phi_[sz(i)], top)) top = ws.phi_[sz(i)];
    }
    ws.group_max_[sz(g - 1)] = top;
    int count = 0;
    for (int i = first(g); i < first(g + 1); ++i) {
      // top - eps may round; the difference is what the threshold means.
      const double v = ws.phi_[sz(i)];
      const bool on = !std::isnan(v) && (v == top || top - v <= eps);
      ws.active_[sz(i)] = on ? 1 : 0;
      count += on ? 1 : 0;
    }
    ws.active_count_[sz(g - 1)] = count;
  }
  return true;
}

// The least-norm point of a Minkowski sum  base + sum over groups of conv{v_{g,i}}, by the
// minimum-norm-point method over its vertices (one generator per group): the vertex that
// minimises <z, .> is found group by group, and the corral of affinely independent
// vertices is minimised on its affine hull by least squares (Householder QR), stepping
// back to the hull's convex part whenever a weight would turn negative. Finite in exact
// arithmetic; the sizes here are a few dozen.

Pieces::Stationarity Pieces::stationarity(std::span<const double> x, double eps, PieceWorkspace& ws,
                                          std::span<double> multipliers,
                                          std::span<double> element) const {
  const Stationarity refused{NAN, NAN, 0, false};
  const size_t n = sz(n_);
  const size_t np = sz(piece_count());
  if (multipliers.size() < np || element.size() < n || !active(x, eps, ws)) return refused;
  const int groups = group_count();
  const double* dphi = ws.dphi_.data();
  auto grad = [&](int piece) { return dphi + sz(piece) * n; };

  // Groups with one active piece are folded into the base point.
  double* base = ws.base_.data();
  std::copy(ws.ds_.begin(), ws.ds_.end(), base);
  int multi = 0;
  bool finite = true;
  for (size_t i = 0; i < n; ++i) finite = finite && std::isfinite(base[i]);
  for (int g = 1; g <= groups; ++g) {
    const int count = ws.active_count_[sz(g - 1)];
    if (count == 0) finite = false;
    for (int i = first(g); i < first(g + 1); ++i) {
      if (!ws.active_[sz(i)]) continue;
      for (size_t j = 0; j < n; ++j) finite = finite && std::isfinite(grad(i)[j]);
      if (count == 1) {
        for (size_t j = 0; j < n; ++j) base[j] += grad(i)[j];
      }
    }
    if (count > 1) ws.multi_[sz(multi++)] = g;
  }
  std::fill(multipliers.begin(), multipliers.begin() + static_cast<std::ptrdiff_t>(np), 0.0);
  if (!finite) {
    std::fill(element.begin(), element.begin() + static_cast<std::ptrdiff_t>(n), NAN);
    for (int g = 1; g <= groups; ++g) {
      for (int i = first(g); i < first(g + 1); ++i) multipliers[sz(i)] = NAN;
    }
    return {NAN, NAN, 0, false};
  }

  const size_t mg = sz(multi);
  const size_t cap = n + 1;
  int* choice = ws.choice_.data();  // vertex v's choices at choice[v * mg + t]
  double* point = ws.point_.data();
  double* w = ws.weight_.data();
  double* alpha = ws.alpha_.data();
  double* z = ws.z_.data();
  double* sp = ws.s_point_.data();
  int* cnew = ws.choice_new_.data();

  auto vertex = [&](const int* ch, double* out) {
    std::copy(base, base + n, out);
    for (size_t t = 0; t < mg; ++t) {
      const double* v = grad(ch[t]);
      for (size_t j = 0; j < n; ++j) out[j] += v[j];
    }
  };
  // The active piece of each multi group that minimises <d, .>, lowest index on ties.
  auto lmo = [&](const double* d, int* ch) {
    for (size_t t = 0; t < mg; ++t) {
      const int g = ws.multi_[t];
      int best = -1;
      double best_value = 0;
      for (int i = first(g); i < first(g + 1); ++i) {
        if (!ws.active_[sz(i)]) continue;
        const double v = dot(d, grad(i), n);
        if (best < 0 || v < best_value) {
          best = i;
          best_value = v;
        }
      }
      ch[t] = best;
    }
  };
  auto combine = [&](size_t k) {
    std::fill(z, z + n, 0.0);
    for (size_t v = 0; v < k; ++v) {
      for (size_t j = 0; j < n; ++j) z[j] += w[v] * point[v * n + j];
    }
  };
  // Weights alpha (summing to 1) of the point of least norm on the affine hull of the k
  // corral vertices: least squares q0 + D a with D's columns q_v - q0.
  auto affine_minimum = [&](size_t k) -> bool {
    if (k == 1) {
      alpha[0] = 1;
      return true;
    }
    const size_t cols = k - 1;
    double* a = ws.qr_.data();  // n x cols, by columns
    double* r = ws.rhs_.data();
    for (size_t c = 0; c < cols; ++c) {
      for (size_t j = 0; j < n; ++j) a[c * n + j] = point[(c + 1) * n + j] - point[j];
    }
    for (size_t j = 0; j < n; ++j) r[j] = -point[j];
    if (cols > n) return false;
    double scale = 0;
    for (size_t i = 0; i < n * cols; ++i) scale = std::max(scale, std::fabs(a[i]));
    // Householder QR, applied to r as it goes.
    for (size_t c = 0; c < cols; ++c) {
      double* col = a + c * n;
      double norm = 0;
      for (size_t j = c; j < n; ++j) norm += col[j] * col[j];
      norm = std::sqrt(norm);
      if (!(norm > 1e-14 * scale)) return false;
      const double alpha_c = col[c] > 0 ? -norm : norm;
      col[c] -= alpha_c;  // v = col - alpha e_c, stored in place
      const double vnorm2 = dot(col + c, col + c, n - c);
      for (size_t c2 = c + 1; c2 < cols; ++c2) {
        double* other = a + c2 * n;
        const double f = 2 * dot(col + c, other + c, n - c) / vnorm2;
        for (size_t j = c; j < n; ++j) other[j] -= f * col[j];
      }
      const double f = 2 * dot(col + c, r + c, n - c) / vnorm2;
      for (size_t j = c; j < n; ++j) r[j] -= f * col[j];
      col[c] = alpha_c;  // R's diagonal; the rest of v is no longer needed
    }
    double sum = 0;
    for (size_t c = cols; c-- > 0;) {
      double v = r[c];
      for (size_t c2 = c + 1; c2 < cols; ++c2) v -= a[c2 * n + c] * alpha[c2 + 1];
      alpha[c + 1] = v / a[c * n + c];
      sum += alpha[c + 1];
    }
    alpha[0] = 1 - sum;
    return true;
  };

  // Start at the vertex of the lowest active piece of every group.
  for (size_t t = 0; t < mg; ++t) {
    const int g = ws.multi_[t];
    int i = first(g);
    while (!ws.active_[sz(i)]) ++i;
    choice[t] = i;
  }
  vertex(choice, point);
  w[0] = 1;
  size_t k = 1;
  combine(k);
  int iterations = 0;
  bool converged = mg == 0;
  const int limit = 50 * static_cast<int>(cap) + 100;
  while (!converged && iterations < limit) {
    ++iterations;
    lmo(z, cnew);
    vertex(cnew, sp);
    double scale = dot(sp, sp, n);
    for (size_t v = 0; v < k; ++v) scale = std::max(scale, dot(point + v * n, point + v * n, n));
    double gap = 0;
    for (size_t j = 0; j < n; ++j) gap += z[j] * (z[j] - sp[j]);
    if (gap <= 1e-14 * scale) {
      converged = true;
      break;
    }
    bool known = false;
    for (size_t v = 0; v < k && !known; ++v) {
      known = std::equal(cnew, cnew + mg, choice + v * mg);
    }
    if (known || k == cap) {
      converged = known;
      break;
    }
    std::copy(cnew, cnew + mg, choice + k * mg);
    std::copy(sp, sp + n, point + k * n);
    w[k] = 0;
    ++k;
    // Minor cycles: move to the affine minimum, or as far towards it as the weights allow
    // and drop the vertices whose weight reaches 0.
    for (;;) {
      if (!affine_minimum(k)) {
        // Numerically dependent: drop the newest vertex and stop here.
        --k;
        converged = false;
        iterations = limit;
        break;
      }
      bool positive = true;
      for (size_t v = 0; v < k; ++v) positive = positive && alpha[v] > 1e-15;
      if (positive) {
        std::copy(alpha, alpha + k, w);
        break;
      }
      double theta = 1;
      for (size_t v = 0; v < k; ++v) {
        if (alpha[v] <= 1e-15) theta = std::min(theta, w[v] / (w[v] - alpha[v]));
      }
      for (size_t v = 0; v < k; ++v) w[v] = theta * alpha[v] + (1 - theta) * w[v];
      size_t kept = 0;
      for (size_t v = 0; v < k; ++v) {
        if (w[v] > 1e-15) {
          if (kept != v) {
            w[kept] = w[v];
            std::copy(choice + v * mg, choice + (v + 1) * mg, choice + kept * mg);
            std::copy(point + v * n, point + (v + 1) * n, point + kept * n);
          }
          ++kept;
        }
      }
      if (kept == 0) {  // cannot happen in exact arithmetic; keep the largest
        kept = 1;
        w[0] = 1;
      }
      k = kept;
      double total = 0;
      for (size_t v = 0; v < k; ++v) total += w[v];
      for (size_t v = 0; v < k; ++v) w[v] /= total;
    }
    combine(k);
  }

  // Multipliers from the corral, and the element rebuilt from them so the two agree.
  for (int g = 1; g <= groups; ++g) {
    if (ws.active_count_[sz(g - 1)] != 1) continue;
    for (int i = first(g); i < first(g + 1); ++i) {
      if (ws.active_[sz(i)]) multipliers[sz(i)] = 1;
    }
  }
  for (size_t v = 0; v < k; ++v) {
    for (size_t t = 0; t < mg; ++t) multipliers[sz(choice[v * mg + t])] += w[v];
  }
  for (size_t j = 0; j < n; ++j) element[j] = ws.ds_[j];
  for (int g = 1; g <= groups; ++g) {
    for (int i = first(g); i < first(g + 1); ++i) {
      const double l = multipliers[sz(i)];
      if (l == 0) continue;
      for (size_t j = 0; j < n; ++j) element[j] += l * grad(i)[j];
    }
  }
  const double norm2 = dot(element.data(), element.data(), n);
  // The certificate: ||z||^2 - <z, ds> - sum_g min over active i of <z, grad phi_{g,i}>.
  double low = dot(element.data(), ws.ds_.data(), n);
  for (int g = 1; g <= groups; ++g) {
    double best = std::numeric_limits<double>::infinity();
    for (int i = first(g); i < first(g + 1); ++i) {
      if (ws.active_[sz(i)]) best = std::min(best, dot(element.data(), grad(i), n));
    }
    low += best;
  }
  return {std::sqrt(norm2), norm2 - low, iterations, converged};
}

}  // namespace kinkbench
