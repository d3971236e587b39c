// Problem 12: the largest of ten weighted squared distances b(i) |x - a(i, .)|^2 over the
// first five variables. Data in the area: a(i, j) at 5 (i - 1) + j, b(i) at 50 + i
// (1-based), 60 elements, written by the set-up and only read afterwards.
#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/tables/aa.hpp"

namespace kinkbench::nonsmooth::p12 {
namespace {

constexpr int kTerms = 10;
constexpr int kVars = 5;
// b(7..10): the weights the constant table does not hold.
constexpr double kLastWeights[4] = {1.7, 2.5, 6, 3.5};

double a(const double* data, int i, int j) { return data[kVars * i + j]; }
double b(const double* data, int i) { return data[kVars * kTerms + i]; }

// d(i), 0-based i.
double distance(const double* x, const double* data, int i) {
  double s = 0;
  for (int j = 0; j < kVars; ++j) {
    const double e = x[j] - a(data, i, j);
    s = s + e * e;
  }
  return b(data, i) * s;
}

// Scans d(1..10) switching only to a strictly larger value: the lowest index attaining
// the maximum, and index 1 when d(1) is NaN.
int active(const double* x, const double* data) {
  int k = 0;
  double dk = distance(x, data, 0);
  for (int i = 1; i < kTerms; ++i) {
    const double d = distance(x, data, i);
    if (d > dk) {
      dk = d;
      k = i;
    }
  }
  return k;
}

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  x[4] = 1;
  for (int i = 0; i < tables::kAaSize; ++i) data[i] = tables::aa[i];
  for (int i = 0; i < 4; ++i) data[tables::kAaSize + i] = kLastWeights[i];
}

// The maximum passes over NaN terms; it is NaN only when all ten are.
void value(int /*n*/, const double* x, double* f, const double* data) {
  double m = distance(x, data, 0);
  for (int i = 1; i < kTerms; ++i) {
    const double d = distance(x, data, i);
    if (detail::replaces_max(d, m)) m = d;
  }
  *f = m;
}

void gradient(int /*n*/, const double* x, double* g, const double* data) {
  const int k = active(x, data);
  for (int j = 0; j < kVars; ++j) g[j] = 2 * b(data, k) * (x[j] - a(data, k, j));
}

void hessian(int /*n*/, const double* x, double* h, const double* data) {
  const double diagonal = 2 * b(data, active(x, data));
  for (int j = 1; j <= kVars; ++j) h[detail::packed(j, j)] = diagonal;
}

// One group: d1..d10.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = kTerms;
  return 1;
}

void decompose(int /*n*/, const double* x, const double* data, const PieceOut& out) {
  for (int k = 0; k < kTerms; ++k) {
    out.phi[k] = distance(x, data, k);
    for (int j = 0; j < kVars; ++j) out.grad(k)[j] = 2 * b(data, k) * (x[j] - a(data, k, j));
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("d", index + 1); }

}  // namespace kinkbench::nonsmooth::p12
