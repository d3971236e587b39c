// Nonsmooth problem 16: the maximum of five quadratics f_k = x'A_k x - b_k'x whose data
// the set-up generates. Block k occupies data[110(k-1) .. 110(k-1) + 109]: A_k by columns
// with leading dimension n, then b_k from offset 100. The table admits n = 10 only (larger
// n would overlap the blocks), so n is 10 whenever these routines are reached.
#include <cmath>

#include "core/rules.hpp"
#include "test19/pieces.hpp"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p16 {
namespace {

constexpr int kBlocks = 5;
constexpr int kBlockSize = 110;
constexpr int kVectorOffset = 100;

inline double* block(double* data, int k) { return data + kBlockSize * (k - 1); }
inline const double* block(const double* data, int k) { return data + kBlockSize * (k - 1); }

// A_k(i, j) and b_k(i) of a block, 1-based.
inline double a(const double* blk, int n, int i, int j) { return blk[n * (j - 1) + i - 1]; }
inline double b(const double* blk, int i) { return blk[kVectorOffset + i - 1]; }

// (A_k x)(i) = sum over j of A_k(j, i)·x(j), in increasing j.
double row_sum(const double* blk, int n, const double* x, int i) {
  double s = 0;
  for (int j = 1; j <= n; ++j) s += a(blk, n, j, i) * x[j - 1];
  return s;
}

// f_k, accumulated for i = 1..n: first the b term, then the row sum.
double block_value(const double* blk, int n, const double* x) {
  double f = 0;
  for (int i = 1; i <= n; ++i) {
    f = f - b(blk, i) * x[i - 1];
    f = f + x[i - 1] * row_sum(blk, n, x, i);
  }
  return f;
}

// The one piece choice of gradient and Hessian: the first block attaining the maximum.
// The running value starts at -1e60, so a NaN f_k is never chosen (nor ever becomes the
// running value); when no f_k exceeds -1e60, block 1 stands.
int chosen_block(int n, const double* x, const double* data) {
  int chosen = 1;
  double running = -1e60;
  for (int k = 1; k <= kBlocks; ++k) {
    const double fk = block_value(block(data, k), n, x);
    if (fk > running) chosen = k;
    if (detail::replaces_max(fk, running)) running = fk;
  }
  return chosen;
}

}  // namespace

void setup(int n, double* x, double* data) {
  for (int i = 0; i < n; ++i) x[i] = 1;
  const double dn = static_cast<double>(n);
  for (int k = 1; k <= kBlocks; ++k) {
    double* blk = block(data, k);
    const double sin_k = std::sin(static_cast<double>(k));
    for (int i = 1; i <= n; ++i) {
      for (int j = i; j <= n; ++j) {
        const double v = std::exp(static_cast<double>(i) / static_cast<double>(j)) *
                         std::cos(static_cast<double>(i * j)) * sin_k;
        blk[n * (j - 1) + i - 1] = v;
        blk[n * (i - 1) + j - 1] = v;
      }
    }
    for (int i = 1; i <= n; ++i) {
      blk[kVectorOffset + i - 1] = std::exp(static_cast<double>(i) / static_cast<double>(k)) *
                                   std::sin(static_cast<double>(i * k));
    }
    // Column i's off-diagonal entries are never overwritten here, so the order over i
    // does not matter; within a column the terms are added in increasing j.
    for (int i = 1; i <= n; ++i) {
      double diagonal = (static_cast<double>(i) * std::fabs(sin_k)) / dn;
      for (int j = 1; j <= n; ++j) {
        if (j != i) diagonal += std::fabs(blk[n * (i - 1) + j - 1]);
      }
      blk[n * (i - 1) + i - 1] = diagonal;
    }
  }
}

// Below the problem's dimension the routines write nothing (the outputs stay cleared).
void value(int n, const double* x, double* f, const double* data) {
  double running = block_value(block(data, 1), n, x);
  for (int k = 2; k <= kBlocks; ++k) {
    const double fk = block_value(block(data, k), n, x);
    if (detail::replaces_max(fk, running)) running = fk;
  }
  *f = running;
}

void gradient(int n, const double* x, double* g, const double* data) {
  const double* blk = block(data, chosen_block(n, x, data));
  for (int i = 1; i <= n; ++i) g[i - 1] = -b(blk, i) + 2 * row_sum(blk, n, x, i);
}

void hessian(int n, const double* x, double* h, const double* data) {
  const double* blk = block(data, chosen_block(n, x, data));
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= i; ++j) h[detail::packed(i, j)] = 2 * a(blk, n, j, i);
  }
}

// One group: f1..f5.
int decompose_groups(int /*n*/, int* sizes) {
  if (sizes != nullptr) sizes[0] = kBlocks;
  return 1;
}

void decompose(int n, const double* x, const double* data, const PieceOut& out) {
  for (int k = 1; k <= kBlocks; ++k) {
    const double* blk = block(data, k);
    out.phi[k - 1] = block_value(blk, n, x);
    double* g = out.grad(k - 1);
    for (int i = 1; i <= n; ++i) g[i - 1] = -b(blk, i) + 2 * row_sum(blk, n, x, i);
  }
}

std::string piece_name(int /*n*/, int /*group*/, int index) { return numbered("f", index + 1); }

}  // namespace kinkbench::nonsmooth::p16
