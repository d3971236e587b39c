// nseval: nonsmooth problem 11 (n = 4) at the point in "input.in", capped above,
// written to "output.out". No arguments, silent on success.
// Exit status: 0 written, 2 the point could not be read (output.out untouched),
// 3 the result could not be written.
#include "blackbox/guards.hpp"
#include "blackbox/program.hpp"
#include "kinkbench/kinkbench.h"

namespace bb = kinkbench::blackbox;

int main() {
  int n = 4;
  int iprob = 11;
  int ierr = 0;
  double x[4] = {0, 0, 0, 0};
  double fmin = 0;
  double stepmax = 0;
  tiud19(&n, x, &fmin, &stepmax, &iprob, &ierr);
  if (!bb::load_point("nseval", x, n)) return bb::kInputFailed;

  double f = 0;
  tffu19(&n, x, &f, &iprob);
  return bb::store_result("nseval", bb::cap_objective(f)) ? 0 : bb::kOutputFailed;
}
