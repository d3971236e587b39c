// mmeval: the largest partial function of minimax problem 1 (n = 2) at the point in
// "input.in", guarded, written to "output.out". Silent on success; the only arguments
// are -h or --help, and --version, which touch neither file.
// Exit status: 0 written (or help shown), 2 the point could not be read or a bad
// argument (output.out untouched), 3 the result could not be written.
#include "blackbox/guards.hpp"
#include "blackbox/program.hpp"
#include "kinkbench/kinkbench.h"

namespace bb = kinkbench::blackbox;

namespace {

constexpr const char* kHelp =
    "Usage: mmeval [-h | --help | --version]\n"
    "Evaluates problem 1 of the kinkbench minimax collection (n = 2) once: reads the\n"
    "point from input.in in the working directory (x1 and x2, one value per line),\n"
    "writes the largest of the three partial function values (NaN counting as -1e80,\n"
    "capped at 1e80, which marks a point as not acceptable) to output.out as one line\n"
    "in the format (E15.6), and prints nothing. Exit status: 0 the result was\n"
    "written; 2 input.in is missing or unreadable, holds too few values or one that\n"
    "is not a number, or an argument was not understood: output.out was left as it\n"
    "was, so an older result may still be there, and a caller must check the status;\n"
    "3 output.out could not be written. Each failure prints one line on stderr.\n";

}  // namespace

int main(int argc, char** argv) {
  const int early = bb::handle_arguments("mmeval", kHelp, argc, argv);
  if (early >= 0) return early;

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
