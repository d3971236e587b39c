// Problem 24: f_1 = x(1), f_2 = x(2) - x(1)^2 - 1, and for every other k the residual
// f_k = b - a^2 - 1 of a polynomial at t = (k - 2)/29, with
//   a = x(1) + sum_{j=2..n} x(j) t^(j-1),  b = sum_{j=2..n} ((j-1) x(j)) t^(j-2).
// Every t^p is rounded exactly as ipow(t, p) rounds it, in value, gradient and Hessian
// alike; see Powers below for how they are formed without ipow's branches. k = 1 and
// k = 2 take their direct forms in all three routines, except that k = 2 with n = 1 takes
// the general form at t = 0, -x(1)^2 - 1, since there is no x(2) to read. Every form reads
// x(1), so n < 1 writes nothing.
#include <algorithm>
#include <cstdint>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p24 {
namespace {

// k - 2 in 64 bits, so that no k a caller passes overflows.
double node(int k) { return static_cast<double>(std::int64_t{k} - 2) / 29; }

// The powers t^0, t^1, ... with ipow's rounding. ipow multiplies 1 by the squares
// t^(2^i) of p's set bits, lowest bit first, so t^p is t^q * t^(2^h) with h p's highest
// bit and q = p - 2^h: one product per power once the smaller ones are known, the same
// product ipow makes last. Calling ipow per power instead costs a branch per bit whose
// pattern the branch predictor loses beyond n of a few thousand, where the cost per
// variable used to triple.
class Powers {
 public:
  static constexpr int kBits = 32;  // p < 2^32

  // Ready for powers below `count` (at most 2^32): the squares up to its highest bit.
  Powers(double t, std::int64_t count) {
    squares_[0] = t;
    for (int i = 1; i < kBits && (std::int64_t{1} << i) < count; ++i) {
      squares_[i] = squares_[i - 1] * squares_[i - 1];
    }
  }

  // out[p] = t^p for p = 0..count-1; out[p] reads out[p - 2^h] only.
  void fill(std::int64_t count, double* out) const {
    if (count < 1) return;
    out[0] = 1.0;
    for (int h = 0; (std::int64_t{1} << h) < count; ++h) {
      const std::int64_t first = std::int64_t{1} << h;
      const std::int64_t end = std::min(first * 2, count);
      const double square = squares_[h];
      for (std::int64_t p = first; p < end; ++p) out[p] = out[p - first] * square;
    }
  }

  // take(p, t^p) for p = 0..count-1 in increasing order, without a caller's array: the
  // powers below kChunk are kept, and t^p above is the kept power of p's low bits
  // multiplied by the squares of its high bits, lowest first, as ipow goes on from there.
  template <class Take>
  void each(int count, Take&& take) const {
    double low[kChunk];
    double chunk[kChunk];
    fill(std::min(count, kChunk), low);
    for (int p = 0; p < std::min(count, kChunk); ++p) take(p, low[p]);
    for (int start = kChunk; start < count; start += kChunk) {
      const int size = std::min(kChunk, count - start);
      bool first = true;
      int bit = kChunkBits;
      for (int high = start >> kChunkBits; high != 0; high >>= 1, ++bit) {
        if ((high & 1) == 0) continue;
        const double square = squares_[bit];
        const double* from = first ? low : chunk;
        for (int i = 0; i < size; ++i) chunk[i] = from[i] * square;
        first = false;
      }
      for (int i = 0; i < size; ++i) take(start + i, chunk[i]);
    }
  }

 private:
  static constexpr int kChunkBits = 10;
  static constexpr int kChunk = 1 << kChunkBits;  // two of them on the stack: 16 KiB

  double squares_[kBits] = {};
};

}  // namespace

// Writes x(1..n).
void setup(int n, double* x, double* /*data*/) {
  for (int i = 0; i < n; ++i) x[i] = 0;
}

void value(int n, int k, const double* x, double* fk, const double* /*data*/) {
  if (n < 1) return;
  if (k == 1) {
    *fk = x[0];
  } else if (k == 2 && n >= 2) {
    *fk = x[1] - x[0] * x[0] - 1;
  } else {
    double a = x[0];
    double b = 0;
    double previous = 1.0;  // t^(j-2)
    // Term j = p + 1 takes t^p into a and t^(p-1) into b.
    Powers(node(k), n).each(n, [&](int p, double power) {
      if (p == 0) return;
      const int j = p + 1;
      a = a + x[j - 1] * power;
      b = b + (static_cast<double>(j - 1) * x[j - 1]) * previous;
      previous = power;
    });
    *fk = b - a * a - 1;
  }
}

// Writes gk(1..n). x is read in full before gk is written, as the direct sum did.
void gradient(int n, int k, const double* x, double* gk, const double* /*data*/) {
  if (n < 1) return;
  if (k == 1 || k == 2) {
    gk[0] = k == 1 ? 1.0 : -2 * x[0];
    for (int i = 2; i <= n; ++i) gk[i - 1] = 0;
    if (k == 2 && n >= 2) gk[1] = 1;
    return;
  }
  const Powers powers(node(k), n);
  double a = x[0];
  powers.each(n, [&](int p, double power) {
    if (p > 0) a = a + x[p] * power;
  });
  // gk holds t^(j-1) at j-1 until component j is written over it.
  powers.fill(n, gk);
  double previous = gk[0];  // t^(j-2)
  gk[0] = -2 * a;
  for (int j = 2; j <= n; ++j) {
    const double power = gk[j - 1];
    gk[j - 1] = static_cast<double>(j - 1) * previous - 2 * a * power;
    previous = power;
  }
}

// Writes all n(n+1)/2 entries.
void hessian(int n, int k, const double* /*x*/, double* hk, const double* /*data*/) {
  if (k == 1 || k == 2) {
    kinkbench::detail::clear(hk, kinkbench::detail::packed_size(n));
    if (k == 2 && n >= 1) hk[0] = -2;
    return;
  }
  if (n < 1) return;
  // H(i, j) = -2 t^(i+j-2). The powers t^0..t^(2n-2) are first laid out over rows n-1 and
  // n, the last 2n-1 entries; rows 1..n-2 are copied from them, then row n-1 (reading
  // ahead of where it writes) and last row n, whose entries sit on their own powers.
  using kinkbench::detail::packed;
  double* const powers = hk + (n >= 2 ? packed(n - 1, 1) : 0);
  const std::int64_t count = 2 * std::int64_t{n} - 1;
  Powers(node(k), count).fill(count, powers);
  for (std::int64_t i = 1; i <= n - 2; ++i) {
    double* row = hk + packed(i, 1);
    for (std::int64_t j = 1; j <= i; ++j) row[j - 1] = -2 * powers[i + j - 2];
  }
  if (n >= 2) {
    for (std::int64_t j = 1; j <= n - 1; ++j) powers[j - 1] = -2 * powers[n + j - 3];
  }
  for (std::int64_t p = n - 1; p <= 2 * std::int64_t{n} - 2; ++p) powers[p] = -2 * powers[p];
}

}  // namespace kinkbench::minimax::p24
