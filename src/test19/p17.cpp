// Nonsmooth problem 17: the maximum of three smooth functions of x(1..10). Scaled squares
// (0.001·R², 100·d², 1200·x², ...) square first, then scale: the other grouping rounds
// differently and so changes the bits of values and Hessians.
#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p17 {
namespace {

using detail::packed;

constexpr int kN = 10;
constexpr int kSamples = 29;
constexpr int kPowers = 2 * kN - 1;  // t^0 .. t^18, enough for t^(i+j-2)

// t^k by repeated multiplication, t^0 = 1: value and derivatives read the same powers.
void powers_of(double t, double* p) {
  p[0] = 1.0;
  for (int k = 1; k < kPowers; ++k) p[k] = p[k - 1] * t;
}

struct Sample {
  double p[kPowers];
  double s;  // s(m) = sum x(j) t^(j-1)
  double r;  // r(m) = sum (j-1) x(j) t^(j-2) - s^2 - 1
};

Sample sample(const double* x, int m) {
  Sample q{};
  powers_of(static_cast<double>(m) / kSamples, q.p);
  double s = 0.0;
  for (int j = 1; j <= kN; ++j) s += x[j - 1] * q.p[j - 1];
  double d = 0.0;
  for (int j = 2; j <= kN; ++j) d += static_cast<double>(j - 1) * x[j - 1] * q.p[j - 2];
  q.s = s;
  q.r = d - s * s - 1.0;
  return q;
}

double radius_term(const double* x) {
  double r = 0.0;
  for (int i = 0; i < kN; ++i) r += x[i] * x[i];
  return r - 0.25;
}

double f1(const double* x) {
  double sum = 0.0;
  for (int i = 0; i < kN; ++i) sum += (x[i] - 1.0) * (x[i] - 1.0);
  const double r = radius_term(x);
  return sum + 0.001 * (r * r);
}

double f2(const double* x) {
  double sum = 0.0;
  for (int m = 1; m <= kSamples; ++m) {
    const Sample q = sample(x, m);
    sum += q.r * q.r;
  }
  const double q = x[1] - x[0] * x[0] - 1.0;
  return sum + x[0] * x[0] + q * q;
}

double f3(const double* x) {
  double chain = 0.0;
  for (int i = 0; i < kN - 1; ++i) {
    const double d = x[i + 1] - x[i] * x[i];
    chain += 100.0 * (d * d);
  }
  double ones = 0.0;
  for (int i = 1; i < kN; ++i) ones += (1.0 - x[i]) * (1.0 - x[i]);
  return chain + ones;
}

// Earliest piece attaining the maximum; any comparison with NaN falls through to F3.
int piece(const double* x) {
  const double a = f1(x), b = f2(x), c = f3(x);
  if (a >= b && a >= c) return 1;
  if (b >= a && b >= c) return 2;
  return 3;
}

// D_j(m) = d r(m) / d x(j), 1-based j.
double dr(const Sample& q, int j) {
  if (j == 1) return -2.0 * q.s;
  return static_cast<double>(j - 1) * q.p[j - 2] - 2.0 * q.s * q.p[j - 1];
}

// The gradient of piece p (1, 2, 3) into g, which holds 0 on entry.
void piece_gradient(int p, const double* x, double* g) {
  switch (p) {
    case 1: {
      const double r = radius_term(x);
      for (int i = 0; i < kN; ++i) g[i] = 2.0 * (x[i] - 1.0) + 0.004 * r * x[i];
      break;
    }
    case 2: {
      for (int m = 1; m <= kSamples; ++m) {
        const Sample q = sample(x, m);
        for (int j = 1; j <= kN; ++j) g[j - 1] += 2.0 * q.r * dr(q, j);
      }
      const double q = x[1] - x[0] * x[0] - 1.0;
      g[0] = g[0] + 2.0 * x[0] - 4.0 * x[0] * q;
      g[1] = g[1] + 2.0 * q;
      break;
    }
    default: {
      g[0] = -400.0 * x[0] * (x[1] - x[0] * x[0]);
      for (int i = 1; i < kN - 1; ++i) {
        g[i] = -400.0 * x[i] * (x[i + 1] - x[i] * x[i]) + 200.0 * (x[i] - x[i - 1] * x[i - 1]) -
               2.0 * (1.0 - x[i]);
      }
      g[kN - 1] = 200.0 * (x[kN - 1] - x[kN - 2] * x[kN - 2]) - 2.0 * (1.0 - x[kN - 1]);
      break;
    }
  }
}

}  // namespace

void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = -0.1;
}

void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  double running = f1(x);
  const double b = f2(x);
  if (detail::replaces_max(b, running)) running = b;
  const double c = f3(x);
  if (detail::replaces_max(c, running)) running = c;
  *f = running;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  piece_gradient(piece(x), x, g);
}

void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  switch (piece(x)) {
    case 1: {
      const double r = radius_term(x);
      for (int i = 1; i <= kN; ++i) {
        for (int j = 1; j < i; ++j) h[packed(i, j)] = 0.008 * x[i - 1] * x[j - 1];
        h[packed(i, i)] = 0.008 * (x[i - 1] * x[i - 1]) + 2.0 + 0.004 * r;
      }
      break;
    }
    case 2: {
      for (int m = 1; m <= kSamples; ++m) {
        const Sample q = sample(x, m);
        for (int i = 1; i <= kN; ++i) {
          const double di = dr(q, i);
          for (int j = 1; j <= i; ++j) {
            h[packed(i, j)] += 2.0 * (di * dr(q, j) - 2.0 * q.r * q.p[i + j - 2]);
          }
        }
      }
      h[packed(1, 1)] = h[packed(1, 1)] + 12.0 * (x[0] * x[0]) - 4.0 * x[1] + 6.0;
      h[packed(2, 1)] = h[packed(2, 1)] - 4.0 * x[0];
      h[packed(2, 2)] = h[packed(2, 2)] + 2.0;
      break;
    }
    default: {
      h[packed(1, 1)] = 1200.0 * (x[0] * x[0]) - 400.0 * x[1];
      for (int i = 2; i < kN; ++i) {
        h[packed(i, i)] = 1200.0 * (x[i - 1] * x[i - 1]) - 400.0 * x[i] + 202.0;
      }
      h[packed(kN, kN)] = 202.0;
      for (int i = 1; i < kN; ++i) h[packed(i + 1, i)] = -400.0 * x[i - 1];
      break;
    }
  }
}

// One group: F1, F2, F3.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = 3;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  out.phi[0] = f1(x);
  out.phi[1] = f2(x);
  out.phi[2] = f3(x);
  for (int p = 1; p <= 3; ++p) piece_gradient(p, x, out.grad(p - 1));
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("F", index + 1); }

}  // namespace kinkbench::nonsmooth::p17
