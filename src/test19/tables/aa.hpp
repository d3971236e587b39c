// Constant table of problem 12's set-up: the 10x5 matrix a by rows (a(i, j) at
// 5 (i - 1) + j - 1), then the first six weights b(1..6). Read only by the set-up.
#pragma once

namespace kinkbench::nonsmooth::tables {

inline constexpr int kAaSize = 56;

inline constexpr double aa[kAaSize] = {
    0, 0, 0,  0, 0,  //
    2, 1, 1,  1, 3,  //
    1, 2, 1,  1, 2,  //
    1, 4, 1,  2, 2,  //
    3, 2, 1,  0, 1,  //
    0, 2, 1,  0, 1,  //
    1, 1, 1,  1, 1,  //
    1, 0, 1,  2, 1,  //
    0, 0, 2,  1, 0,  //
    1, 1, 2,  0, 0,  //
    1, 5, 10, 2, 4, 3,
};

}  // namespace kinkbench::nonsmooth::tables
