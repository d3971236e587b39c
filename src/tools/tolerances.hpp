// How closely each problem's derivatives must match central differences. The defaults
// hold wherever the value is computed in plain double precision.
#pragma once

namespace kinkbench::tools {

struct Tolerance {
  double gradient;
  double hessian;
};

inline Tolerance tolerance(bool minimax, int number) {
  // Minimax problem 17 rounds three factors per section to single precision, so its
  // value steps in units of about 1e-8 and differences of it are that noisy.
  if (minimax && number == 17) return {1e-2, 1e-4};
  return {1e-5, 1e-5};
}

}  // namespace kinkbench::tools
