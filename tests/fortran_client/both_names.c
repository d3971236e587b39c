/* A program that reads the data areas under both names, as a C main program with
 * Fortran parts would. Linked against the shared library it holds a copy of each
 * name; both must show what the set-up wrote. */
#include <kinkbench/kinkbench.h>
#include <stdio.h>

extern double empr06_[123];
extern double empr19_[2700];
void tffu19_(const int* n, const double* x, double* f, const int* iprob);

int main(void) {
  int n = 4, m = 21, iprob = 12, itype = 0, ierr = 0;
  double x[4], fmin, stepmax, fk = 0;
  tiud06(&n, &m, x, &fmin, &stepmax, &iprob, &itype, &ierr);
  int k = 11;
  tafu06(&n, &k, x, &fk, &iprob);
  int n19 = 48, p21 = 21;
  double y[48], f = 0;
  tiud19(&n19, y, &fmin, &stepmax, &p21, &ierr);
  tffu19_(&n19, y, &f, &p21);
  const int same = empr06[7] == empr06_[7] && empr06[41] == empr06_[41] && empr06[7] != 0 &&
                   empr19[1] == 273 && empr19_[1] == 273;
  printf("t_8 %.17g / %.17g, D(2,1) %g / %g, f_11 %g, f %g\n", empr06[7], empr06_[7], empr19[1],
         empr19_[1], fk, f);
  return (same && fk == 1 && f == -464816) ? 0 : 1;
}
