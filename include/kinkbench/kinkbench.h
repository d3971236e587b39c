/* kinkbench: test problems for minimax and nonsmooth optimisation.
 *
 * C interface. Every argument is passed by pointer and no pointer may be null.
 * Problem numbers 1..25 select a problem; any other number selects problem 1.
 * Call the set-up routine of a collection before its evaluation routines: it writes
 * the problem's data into the collection's data area, which they read.
 *
 * The data areas are process-wide, so one problem per collection is set up at a time
 * and a set-up must not run while any routine of the same collection runs. Use the
 * C++ API (minimax.hpp, nonsmooth.hpp) to hold several problems or to evaluate from
 * several threads.
 *
 * No routine prints, allocates, throws or traps: IEEE infinities and NaN are returned
 * as computed.
 */
#ifndef KINKBENCH_KINKBENCH_H
#define KINKBENCH_KINKBENCH_H

#include "kinkbench/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Minimax collection: each problem is a family of partial functions f_1..f_m.
 *
 * tiud06: on entry *m is the caller's capacity. Stores fmin, stepmax, itype and
 * ierr = 0 first; then, if n or the capacity is too small, sets *ierr = 1 and changes
 * nothing else. Otherwise sets *m, the starting point in x and the problem's data.
 * tafu06/tagu06/tahd06 write f_k, its gradient (n entries at most) and its packed
 * Hessian (lower triangle by rows, n(n+1)/2 entries at most); entries a problem does
 * not define keep the caller's values unless the problem clears the triangle. */
KINKBENCH_API void tiud06(const int* n, int* m, double* x, double* fmin, double* stepmax,
                          const int* iprob, int* itype, int* ierr);
KINKBENCH_API void tafu06(const int* n, const int* k, const double* x, double* fk,
                          const int* iprob);
KINKBENCH_API void tagu06(const int* n, const int* k, const double* x, double* gk,
                          const int* iprob);
KINKBENCH_API void tahd06(const int* n, const int* k, const double* x, double* hk,
                          const int* iprob);

/* Nonsmooth collection: one objective f per problem.
 *
 * tiud19: stores fmin = 0, stepmax = 1000, ierr = 0; n < 2 gives *ierr = 1 with x
 * untouched; otherwise x(1..n) is cleared, and n outside the problem's range gives
 * *ierr = 1 with x left zero. The evaluation routines clear f, g(1..n) and
 * h(1..n(n+1)/2) before writing the non-zero entries. */
KINKBENCH_API void tiud19(const int* n, double* x, double* fmin, double* stepmax, const int* iprob,
                          int* ierr);
KINKBENCH_API void tffu19(const int* n, const double* x, double* f, const int* iprob);
KINKBENCH_API void tfgu19(const int* n, const double* x, double* g, const int* iprob);
KINKBENCH_API void tfhd19(const int* n, const double* x, double* h, const int* iprob);

/* The data areas: zero at start, written only by the set-up routines. */
KINKBENCH_API extern double empr06[123];
KINKBENCH_API extern double empr19[2700];

#ifdef __cplusplus
}
#endif

#endif /* KINKBENCH_KINKBENCH_H */
