// Problem 21's constant table, read only by its set-up.
#pragma once

namespace kinkbench::nonsmooth {

inline constexpr int kXrinSize = 2700;
inline constexpr int kXrinTriangle = 1128;  // D strictly below the diagonal, by columns
inline constexpr int kXrinA = 1128;         // 0-based start of a(1..48)
inline constexpr int kXrinC = 1176;         // 0-based start of c(1..48)

// Integer-valued; entries beyond the 1224 that hold data are zero.
extern const double xrin[kXrinSize];

}  // namespace kinkbench::nonsmooth
