// Rules shared by both collections: packed storage, sign conventions at kinks and the
// left-to-right maximum. Every problem uses these instead of restating them.
#pragma once

#include <cmath>
#include <cstdint>

namespace kinkbench::detail {

// 0-based offset of element (i, j), j <= i, 1-based, of a packed lower triangle by rows.
constexpr std::int64_t packed(std::int64_t i, std::int64_t j) { return i * (i - 1) / 2 + j - 1; }

// Number of entries of a packed triangle of order n (0 for n <= 0). 64-bit so that no
// n a caller passes can overflow it.
constexpr std::int64_t packed_size(int n) {
  return n <= 0 ? 0 : static_cast<std::int64_t>(n) * (static_cast<std::int64_t>(n) + 1) / 2;
}

// -1 when the sign bit is set (negative values, -0, NaN with the bit set), else +1.
inline double sgnbit(double s) { return std::signbit(s) ? -1.0 : 1.0; }

// -1 when s < 0, else +1 (so +1 for -0 and for NaN).
inline double sgnlt(double s) { return s < 0.0 ? -1.0 : 1.0; }

// The maximum rule: a later term replaces the running value when it is greater or when
// the running value is NaN. So a NaN term after the first is skipped and the result is
// NaN only when every term is.
inline bool replaces_max(double term, double running) {
  return term > running || std::isnan(running);
}

inline void clear(double* v, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) v[i] = 0.0;
}

}  // namespace kinkbench::detail
