/* A C program built against an installed kinkbench. */
#include <kinkbench/kinkbench.h>
#include <stdio.h>

int main(void) {
  int n = 2, m = 3, iprob = 1, itype = 0, ierr = 0, k = 1;
  double x[2], fmin, stepmax, fk = 0;
  tiud06(&n, &m, x, &fmin, &stepmax, &iprob, &itype, &ierr);
  tafu06(&n, &k, x, &fk, &iprob);
  int n4 = 4, p11 = 11;
  double y[4], f = -1;
  tiud19(&n4, y, &fmin, &stepmax, &p11, &ierr);
  tffu19(&n4, y, &f, &p11);
  printf("C consumer: minimax f_1 = %g, nonsmooth f = %g\n", fk, f);
  return (fk == 20 && f == 0) ? 0 : 1;
}
