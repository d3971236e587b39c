// mmeval: the largest partial function of minimax problem 1 (n = 2) at the point in
// "input.in", guarded, written to "output.out". No arguments, silent on success.
// Exit status: 0 written, 2 the point could not be read (output.out untouched),
// 3 the result could not be written.
#include "blackbox/guards.hpp"
#include "blackbox/program.hpp"
#include "kinkbench/kinkbench.h"

namespace bb = kinkbench::blackbox;

int main() {
  int n = 2;
  int m = 3;
  int iprob = 1;
  int itype = -1;
  int ierr = 0;
  double x[2] = {0, 0};
  double fmin = 0;
  double stepmax = 0;
  tiud06(&n, &m, x, &fmin, &stepmax, &iprob, &itype, &ierr);
  if (!bb::load_point("mmeval", x, n)) return bb::kInputFailed;

  bb::MinimaxGuard guard;
  for (int k = 1; k <= m; ++k) {
    double fk = 0;
    tafu06(&n, &k, x, &fk, &iprob);
    guard.take(fk);
  }
  return bb::store_result("mmeval", guard.result()) ? 0 : bb::kOutputFailed;
}
