// Nonsmooth problem 21: f = -(sum c(i) x(i) + sum_j a(j) mu(j)) with
// mu(j) = min(1e60, D(j, i) - x(i) over i), a convex piecewise linear function on a
// 48-point distance matrix. Its Hessian is the cleared triangle.
//
// Data area (leading dimension n = 48): D by columns at 1..n*n, a at n*n+1..n*n+n, c at
// n*n+n+1..n*n+2n (1-based). The collection rejects any other n at set-up and leaves the
// outputs cleared for an evaluation with n > 48, so no routine reads past the tables.
#include "test19/pieces.hpp"
#include "test19/problems.hpp"
#include "test19/tables/xrin.hpp"

namespace kinkbench::nonsmooth::p21 {
namespace {

constexpr int kPoints = 48;
constexpr double kStart = 1e60;

// The minimum rule: a term replaces the running minimum unless that is <= the term, so a
// NaN term replaces it.
inline bool replaces_min(double term, double running) { return !(running <= term); }

// mu(j) for every row j and the 1-based index that set it (0 when no term fell below
// the start value). Column by column: every row still scans its terms left to right,
// but the rows' scans run side by side instead of as one serial chain after another.
// n is 48 here: the collection evaluates no other n.
void row_minima(int n, const double* x, const double* data, double* mu, int* k) {
  for (int j = 0; j < n; ++j) {
    mu[j] = kStart;
    k[j] = 0;
  }
  for (int i = 1; i <= n; ++i) {
    const double* column = data + n * (i - 1);
    for (int j = 0; j < n; ++j) {
      const double term = column[j] - x[i - 1];
      if (replaces_min(term, mu[j])) {
        mu[j] = term;
        k[j] = i;
      }
    }
  }
}

}  // namespace

void setup(int n, double* /*x*/, double* data) {
  int next = 0;
  for (int i = 1; i < kPoints; ++i) {
    for (int r = i + 1; r <= kPoints; ++r) data[n * (i - 1) + (r - 1)] = xrin[next++];
  }
  for (int i = 1; i <= kPoints; ++i) data[n * (i - 1) + (i - 1)] = 1e5;
  for (int j = 2; j <= kPoints; ++j) {
    for (int i = 1; i < j; ++i) data[n * (j - 1) + (i - 1)] = data[n * (i - 1) + (j - 1)];
  }
  for (int j = 0; j < kPoints; ++j) {
    data[n * n + j] = xrin[kXrinA + j];
    data[n * n + n + j] = xrin[kXrinC + j];
  }
}

void value(int n, const double* x, double* f, const double* data) {
  const double* c = data + n * n + n;
  const double* a = data + n * n;
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += c[i] * x[i];
  double mu[kPoints];
  int k[kPoints];
  row_minima(n, x, data, mu, k);
  for (int j = 0; j < n; ++j) s += a[j] * mu[j];
  *f = -s;
}

// A row whose minimum stayed at the start value depends on no component and adds nothing.
void gradient(int n, const double* x, double* g, const double* data) {
  const double* c = data + n * n + n;
  const double* a = data + n * n;
  for (int i = 0; i < n; ++i) g[i] = -c[i];
  double mu[kPoints];
  int k[kPoints];
  row_minima(n, x, data, mu, k);
  for (int j = 0; j < n; ++j) {
    if (k[j] != 0) g[k[j] - 1] += a[j];
  }
}

void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

// -c'x plus, for each row j, max over i of -a(j) (D(j, i) - x(i)) = -a(j) mu(j); the
// start value 1e60 of the minimum is left out (no point here comes near it).
int decompose_groups(int n, int* sizes) {
  if (sizes != nullptr) {
    for (int j = 0; j < n; ++j) sizes[j] = n;
  }
  return n;
}

void decompose(int n, const double* x, const double* data, const PieceOut& out) {
  const double* c = data + n * n + n;
  const double* a = data + n * n;
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += c[i] * x[i];
  *out.s = -s;
  for (int i = 0; i < n; ++i) out.ds[i] = -c[i];
  for (int j = 0; j < n; ++j) {
    for (int i = 1; i <= n; ++i) {
      const int piece = j * n + i - 1;
      out.phi[piece] = -(a[j] * (data[n * (i - 1) + j] - x[i - 1]));
      out.grad(piece)[i - 1] = a[j];
    }
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("x", index + 1); }

}  // namespace kinkbench::nonsmooth::p21
