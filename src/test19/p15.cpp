// Nonsmooth problem 15: L1 fit of x1·e^(-x2·t)·cos(x3·t + x4) + x5·e^(-x6·t) to a fixed
// target at t = 0, 0.1, ..., 5. Every routine recomputes the samples: nothing is cached
// between calls.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p15 {
namespace {

constexpr int kSamples = 51;

double target(double t) {
  return 0.5 * std::exp(-t) - std::exp(-2 * t) + 0.5 * std::exp(-3 * t) +
         1.5 * std::exp(-1.5 * t) * std::sin(7 * t) + std::exp(-2.5 * t) * std::sin(5 * t);
}

struct Sample {
  double t;
  double e1;  // e^(-x2·t)
  double e2;  // e^(-x6·t)
  double cos_theta;
  double sin_theta;
  double rho;    // model minus target
  double sigma;  // sign of rho by its sign bit: -0 counts as negative
};

// Sample i = 0..50. The sign of each residual is the piece choice of gradient and
// Hessian; both call this, so they always agree. std::sin and std::cos of one argument
// give the bits of a joint sine-and-cosine evaluation.
Sample sample(int i, const double* x) {
  Sample s{};
  s.t = static_cast<double>(i) / 10;
  s.e1 = std::exp(-x[1] * s.t);
  s.e2 = std::exp(-x[5] * s.t);
  const double theta = x[2] * s.t + x[3];
  s.cos_theta = std::cos(theta);
  s.sin_theta = std::sin(theta);
  s.rho = x[0] * s.e1 * s.cos_theta + x[4] * s.e2 - target(s.t);
  s.sigma = detail::sgnbit(s.rho);
  return s;
}

}  // namespace

void setup(int /*n*/, double* x, double* /*data*/) {
  x[0] = 2;
  x[1] = 2;
  x[2] = 7;
  x[3] = 0;
  x[4] = -2;
  x[5] = 1;
}

// Below the problem's dimension x holds fewer components than the formulas read, so the
// evaluation routines write nothing (the outputs stay cleared).
void value(int /*n*/, const double* x, double* f, const double* /*data*/) {
  double sum = 0;
  for (int i = 0; i < kSamples; ++i) sum += std::fabs(sample(i, x).rho);
  *f = sum;
}

void gradient(int /*n*/, const double* x, double* g, const double* /*data*/) {
  const double x1 = x[0], x5 = x[4];
  double g1 = 0, g2 = 0, g3 = 0, g4 = 0, g5 = 0, g6 = 0;
  for (int i = 0; i < kSamples; ++i) {
    const Sample s = sample(i, x);
    g1 += s.sigma * s.e1 * s.cos_theta;
    g2 += s.sigma * s.t * x1 * s.e1 * s.cos_theta;
    g3 += s.sigma * s.t * x1 * s.e1 * s.sin_theta;
    g4 += s.sigma * x1 * s.e1 * s.sin_theta;
    g5 += s.sigma * s.e2;
    g6 += s.sigma * s.t * x5 * s.e2;
  }
  g[0] = g1;
  g[1] = -g2;
  g[2] = -g3;
  g[3] = -g4;
  g[4] = g5;
  g[5] = -g6;
}

// The model is linear in x1 and in x5: H(1,1), H(5,5) and H(5,j), H(6,j) for j <= 4 stay 0.
void hessian(int /*n*/, const double* x, double* h, const double* /*data*/) {
  const double x1 = x[0], x5 = x[4];
  double h21 = 0, h22 = 0, h31 = 0, h32 = 0, h33 = 0, h41 = 0, h42 = 0, h43 = 0, h44 = 0;
  double h65 = 0, h66 = 0;
  for (int i = 0; i < kSamples; ++i) {
    const Sample s = sample(i, x);
    const double t2 = s.t * s.t;
    h21 += s.sigma * s.t * s.e1 * s.cos_theta;
    h22 += s.sigma * x1 * t2 * s.e1 * s.cos_theta;
    h31 += s.sigma * s.t * s.e1 * s.sin_theta;
    h32 += s.sigma * x1 * t2 * s.e1 * s.sin_theta;
    h33 += s.sigma * x1 * t2 * s.e1 * s.cos_theta;
    h41 += s.sigma * s.e1 * s.sin_theta;
    h42 += s.sigma * x1 * s.t * s.e1 * s.sin_theta;
    h43 += s.sigma * x1 * s.t * s.e1 * s.cos_theta;
    h44 += s.sigma * x1 * s.e1 * s.cos_theta;
    h65 += s.sigma * s.t * s.e2;
    h66 += s.sigma * x5 * t2 * s.e2;
  }
  using detail::packed;
  h[packed(2, 1)] = -h21;
  h[packed(2, 2)] = h22;
  h[packed(3, 1)] = -h31;
  h[packed(3, 2)] = h32;
  h[packed(3, 3)] = -h33;
  h[packed(4, 1)] = -h41;
  h[packed(4, 2)] = h42;
  h[packed(4, 3)] = -h43;
  h[packed(4, 4)] = -h44;
  h[packed(6, 5)] = -h65;
  h[packed(6, 6)] = h66;
}

// 51 groups max(rho_i, -rho_i), i = 0..50.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) {
    for (int i = 0; i < kSamples; ++i) sizes[i] = 2;
  }
  return kSamples;
}

void decompose(int /*n*/, const double* x, const double* /*data*/, const PieceOut& out) {
  const double x1 = x[0], x5 = x[4];
  for (int i = 0; i < kSamples; ++i) {
    const Sample s = sample(i, x);
    out.phi[2 * i] = s.rho;
    out.phi[2 * i + 1] = -s.rho;
    const double g[6] = {s.e1 * s.cos_theta,
                         -(s.t * x1 * s.e1 * s.cos_theta),
                         -(s.t * x1 * s.e1 * s.sin_theta),
                         -(x1 * s.e1 * s.sin_theta),
                         s.e2,
                         -(s.t * x5 * s.e2)};
    for (int j = 0; j < 6; ++j) {
      out.grad(2 * i)[j] = g[j];
      out.grad(2 * i + 1)[j] = -g[j];
    }
  }
}

std::string piece_name(int /*n*/, int group, int index) {
  return signed_name(index == 0, "r", group - 1);
}

}  // namespace kinkbench::nonsmooth::p15
