#include "test19/tables/cc.hpp"

namespace kinkbench::nonsmooth::tables {

// clang-format off
const signed char cc[kCcSize] = {
    // A, 10 x 5, by columns (A(3,1) and A(5,5) are not integers)
    -16,  0,  0,  0,  0,  2, -1, -1,  1,  1,
      2, -2,  0, -2, -9,  0, -1, -2,  2,  1,
      0,  0,  2,  0, -2, -4, -1, -3,  3,  1,
      1,  4,  0, -4,  1,  0, -1, -2,  4,  1,
      0,  2,  0, -1,  0,  0, -1, -1,  5,  1,
    // b (b(3) is not an integer)
    -40, -2,  0, -4, -4, -1, -40, -60,  5,  1,
    // C, 5 x 5, symmetric, by columns
     30, -20, -10,  32, -10,
    -20,  39,  -6, -31,  32,
    -10,  -6,  10,  -6, -10,
     32, -31,  -6,  39, -20,
    -10,  32, -10, -20,  30,
    // d
      4,   8,  10,   6,   2,
    // e
    -15, -27, -36, -18, -12,
};
// clang-format on

}  // namespace kinkbench::nonsmooth::tables
