// nseval: nonsmooth problem 11 (n = 4) at the point in "input.in", capped above,
// written to "output.out". Silent on success; the only arguments are -h or --help, and
// --version, which touch neither file.
// Exit status: 0 written (or help shown), 2 the point could not be read or a bad
// argument (output.out untouched), 3 the result could not be written.
#include "blackbox/guards.hpp"
#include "blackbox/program.hpp"
#include "kinkbench/kinkbench.h"

namespace bb = kinkbench::blackbox;

namespace {

constexpr const char* kHelp =
    "Usage: nseval [-h | --help | --version]\n"
    "Evaluates problem 11 of the kinkbench nonsmooth collection (n = 4) once: reads\n"
    "the point from input.in in the working directory (x1 to x4, one value per line),\n"
    "writes the objective value (capped at 1e80, which marks a point as not\n"
    "acceptable) to output.out as one line in the format (E15.6), and prints nothing.\n"
    "Exit status: 0 the result was written; 2 input.in is missing or unreadable,\n"
    "holds too few values or one that is not a number, or an argument was not\n"
    "understood: output.out was left as it was, so an older result may still be\n"
    "there, and a caller must check the status; 3 output.out could not be written.\n"
    "Each failure prints one line on stderr.\n";

}  // namespace

int main(int argc, char** argv) {
  const int early = bb::handle_arguments("nseval", kHelp, argc, argv);
  if (early >= 0) return early;

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
