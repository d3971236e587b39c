// The four quadratics that problems 5 and 6 share: in the variables y = (y1, y2, y3, y4)
// (problem 5: y = x; problem 6: y = (a, b, x3, x4)) row 1 is the base
//   f1 = y1^2 + y2^2 + 2 y3^2 + y4^2 - 5 y1 - 5 y2 - 21 y3 + 7 y4
// and rows 2..4 add ten times a penalty quadratic, f_r = f1 + 10 c_r.
#pragma once

namespace kinkbench::minimax::quadratic_penalty {

// f_r(y) for r = 1..4 (any other r is row 2's, the caller maps k to a row first).
// The base is always formed first and the penalty added to it, left to right.
inline double value(int row, const double* y) {
  const double y1 = y[0];
  const double y2 = y[1];
  const double y3 = y[2];
  const double y4 = y[3];
  const double s1 = y1 * y1;
  const double s2 = y2 * y2;
  const double s3 = y3 * y3;
  const double s4 = y4 * y4;
  const double f1 = ((((((s1 + s2) + 2 * s3) + s4) - 5 * y1) - 5 * y2) - 21 * y3) + 7 * y4;
  if (row == 1) return f1;
  double c = 0;
  if (row == 3) {
    c = (((((s1 + 2 * s2) + s3) + 2 * s4) - y1) - y4) - 10;
  } else if (row == 4) {
    c = ((((((s1 + s2) + s3) + 2 * y1) - y2) - y4) - 5);
  } else {
    c = (((((((s1 + s2) + s3) + s4) + y1) - y2) + y3) - y4) - 8;
  }
  return f1 + 10 * c;
}

// f_r written as sum over i of quad[i] y_i^2 + lin[i] y_i + const.
struct Coefficients {
  double quad[4];
  double lin[4];
};

// Rows 1..4 at indices 0..3.
inline constexpr Coefficients kRows[4] = {
    {{1, 1, 2, 1}, {-5, -5, -21, 7}},
    {{11, 11, 12, 11}, {5, -15, -11, -3}},
    {{11, 21, 12, 21}, {-15, -5, -21, -3}},
    {{11, 11, 12, 1}, {15, -15, -21, -3}},
};

}  // namespace kinkbench::minimax::quadratic_penalty
