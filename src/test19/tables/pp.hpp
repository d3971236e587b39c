// Problem 18's constant table, read only by its set-up: in the order of the data area,
// the fixed points' first coordinates (1..6) and second coordinates (7..12), then the
// weights w (13..18) and u (19..23). Entry 10 holds 0: the second coordinate of the fourth
// fixed point is the non-integer -0.5, which the set-up stores itself.
#pragma once

namespace kinkbench::nonsmooth {

inline constexpr int kPpSize = 23;

inline constexpr double pp[kPpSize] = {
    0, 2, 3,  4, 5, 6,  // first coordinates of Q_1..Q_6
    2, 3, -1, 0, 2, 2,  // second coordinates (the 0 stands for -0.5)
    2, 1, 1,  5, 1, 1,  // w_1..w_6
    1, 1, 2,  3, 2,     // u_1..u_5
};

}  // namespace kinkbench::nonsmooth
