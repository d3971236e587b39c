// Minimax problem 9: y_k - x1 u (u + x2) / (u (u + x3) + x4) fitted to 11 values.
// Data: data[k-1] = y_k, data[10+k] = u_k, k = 1..11.
#include <algorithm>

#include "minimax/problems.hpp"

namespace kinkbench::minimax::p09 {
namespace {

constexpr int kM = 11;
constexpr double kY[kM] = {0.1957, 0.1947, 0.1735, 0.16,   0.0844, 0.0627,
                           0.0456, 0.0342, 0.0323, 0.0235, 0.0246};
// The three-digit decimals as given, not the fractions they approximate.
constexpr double kU[kM] = {4, 2, 1, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625};

// Every routine reads u_k, so a k outside 1..m writes nothing.
bool valid(int k) { return k >= 1 && k <= kM; }

double denominator(double u, const double* x) { return (u + x[2]) * u + x[3]; }

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[0] = 0.25;
  x[1] = 0.39;
  x[2] = 0.415;
  x[3] = 0.39;
  std::copy(kY, kY + kM, data);
  std::copy(kU, kU + kM, data + kM);
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!valid(k)) return;
  const double u = data[kM + k - 1];
  *fk = data[k - 1] - u * x[0] * (u + x[1]) / denominator(u, x);
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!valid(k)) return;
  const double u = data[kM + k - 1];
  const double d = denominator(u, x);
  const double q = u * x[0] * (u + x[1]) / (d * d);
  gk[0] = -((u + x[1]) * u) / d;
  gk[1] = -(u * x[0]) / d;
  gk[2] = u * q;
  gk[3] = q;
}

// Writes hk(1..10).
void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  if (!valid(k)) return;
  const double u = data[kM + k - 1];
  const double d = denominator(u, x);
  const double b = 1.0 / (d * d);
  const double w = -2.0 * u * x[0] * (u + x[1]) * b / d;
  hk[0] = 0.0;
  hk[1] = -u / d;
  hk[2] = 0.0;
  hk[6] = (u + x[1]) * u * b;
  hk[7] = u * x[0] * b;
  hk[3] = u * hk[6];
  hk[4] = u * u * x[0] * b;
  hk[9] = w;
  hk[8] = u * w;
  hk[5] = u * u * w;
}

}  // namespace kinkbench::minimax::p09
