// The minimax problem table, the collection-wide rules and the C routines.
#include "core/data_area.hpp"
#include "kinkbench/kinkbench.h"
#include "minimax/problems.hpp"

namespace kinkbench::minimax {
namespace {

#define ROW(ns) ns::setup, ns::value, ns::gradient, ns::hessian

// min_n, capacity, m, itype, stepmax, reads data, routines, summary
constexpr Problem kTable[kProblemCount] = {
    {2, 3, 3, -1, 1000, false, ROW(p01), "three smooth functions of 2 variables"},
    {2, 3, 3, -1, 1000, false, ROW(p02), "three rational functions of 2 variables"},
    {2, 2, 2, -1, 1000, false, ROW(p03), "two trigonometric residuals in 2 variables"},
    {3, 6, 6, -1, 1000, false, ROW(p04), "six polynomials of 3 variables"},
    {4, 4, 4, -1, 1000, false, ROW(p05), "quadratic plus three quadratic penalties, 4 variables"},
    {4, 4, 4, -1, 1000, false, ROW(p06), "problem 5 in two transformed variables"},
    {3, 21, 21, 0, 1000, true, ROW(p07), "damped sine fitted at 21 points"},
    {3, 15, 15, 0, 1000, true, ROW(p08), "rational model fitted to 15 values"},
    {4, 11, 11, 0, 1000, true, ROW(p09), "rational model fitted to 11 values"},
    {4, 20, 20, 0, 1000, false, ROW(p10), "exponential and trigonometric residuals, 20 points"},
    {4, 21, 21, 0, 1000, true, ROW(p11), "square root fitted by a squared quadratic"},
    {4, 21, 21, 0, 1000, true, ROW(p12), "reciprocal fitted by two exponentials"},
    {4, 61, 61, 0, 1000, true, ROW(p13), "power-law model fitted to 61 stored values"},
    {5, 21, 21, 0, 1000, false, ROW(p14), "rational approximation of the exponential"},
    {5, 30, 30, 0, 1000, true, ROW(p15), "rational fit of a computed curve, 30 points"},
    {6, 51, 51, 0, 1000, true, ROW(p16), "damped oscillation fitted at 51 points"},
    {6, 11, 11, -1, 1000, true, ROW(p17), "three-section complex chain, single-precision factors"},
    {9, 41, 41, 0, 1000, true, ROW(p18), "ratio of trigonometric quadratics, 41 points"},
    {7, 5, 5, -1, 1000, false, ROW(p19), "polynomial objective with four penalised constraints"},
    {10, 9, 9, -1, 1000, false, ROW(p20), "quadratic objective with eight penalised constraints"},
    {20, 18, 18, -1, 1000, false, ROW(p21), "problem 20 extended to 20 variables, 17 constraints"},
    {10, 2, 2, -1, 1000, false, ROW(p22), "exponential of a shifted weighted sum of squares", true},
    {11, 10, 10, -1, 1000, false, ROW(p23), "weighted sums of exponentials of squares", true},
    {20, 31, 31, 0, 1000, false, ROW(p24), "polynomial residuals of an ODE, 31 points", true},
    {11, 65, 65, 0, 10, true, ROW(p25), "sum of four exponentials fitted to 65 values"},
};

#undef ROW

}  // namespace

const Problem& problem(int iprob) {
  return (iprob >= 2 && iprob <= kProblemCount) ? kTable[iprob - 1] : kTable[0];
}

void setup(int n, int* m, double* x, double* fmin, double* stepmax, int iprob, int* itype,
           int* ierr, double* data) {
  // The entry values are stored before any check, so a rejected call resets them too.
  *fmin = kFmin;
  *stepmax = 1000;
  *itype = -1;
  *ierr = 0;
  const Problem& p = problem(iprob);
  if (n < p.min_n || *m < p.min_m) {
    *ierr = 1;
    return;
  }
  *m = p.m;
  p.setup(n, x, data);
  *itype = p.itype;
  *stepmax = p.stepmax;
}

// Below a problem's minimum n the evaluation routines write nothing: the formulas would
// index past the caller's arrays.
void value(int n, int k, const double* x, double* fk, int iprob, const double* data) {
  const Problem& p = problem(iprob);
  if (n >= p.min_n || p.any_n) p.value(n, k, x, fk, data);
}

void gradient(int n, int k, const double* x, double* gk, int iprob, const double* data) {
  const Problem& p = problem(iprob);
  if (n >= p.min_n || p.any_n) p.gradient(n, k, x, gk, data);
}

void hessian(int n, int k, const double* x, double* hk, int iprob, const double* data) {
  const Problem& p = problem(iprob);
  if (n >= p.min_n || p.any_n) p.hessian(n, k, x, hk, data);
}

}  // namespace kinkbench::minimax

extern "C" {

// The storage behind empr06 and empr06_ (see core/data_area.hpp).
__attribute__((
    visibility("hidden"))) double kinkbench_empr06_storage[kinkbench::minimax::kDataSize];
KINKBENCH_API extern double empr06[kinkbench::minimax::kDataSize]
    __attribute__((alias("kinkbench_empr06_storage")));
KINKBENCH_API extern double empr06_[kinkbench::minimax::kDataSize]
    __attribute__((alias("kinkbench_empr06_storage")));

namespace {

double* area06() {
  return kinkbench::detail::visible_area(empr06, empr06_, kinkbench_empr06_storage);
}

}  // namespace

KINKBENCH_API void tiud06(const int* n, int* m, double* x, double* fmin, double* stepmax,
                          const int* iprob, int* itype, int* ierr) {
  double* area = area06();
  kinkbench::minimax::setup(*n, m, x, fmin, stepmax, *iprob, itype, ierr, area);
  kinkbench::detail::mirror_area(empr06, empr06_, area, kinkbench::minimax::kDataSize);
}

KINKBENCH_API void tafu06(const int* n, const int* k, const double* x, double* fk,
                          const int* iprob) {
  kinkbench::minimax::value(*n, *k, x, fk, *iprob, area06());
}

KINKBENCH_API void tagu06(const int* n, const int* k, const double* x, double* gk,
                          const int* iprob) {
  kinkbench::minimax::gradient(*n, *k, x, gk, *iprob, area06());
}

KINKBENCH_API void tahd06(const int* n, const int* k, const double* x, double* hk,
                          const int* iprob) {
  kinkbench::minimax::hessian(*n, *k, x, hk, *iprob, area06());
}

// The names gfortran gives external procedures: Fortran passes every argument by
// reference, as these routines take them.
KINKBENCH_API extern void tiud06_(const int*, int*, double*, double*, double*, const int*, int*,
                                  int*) __attribute__((alias("tiud06")));
KINKBENCH_API extern void tafu06_(const int*, const int*, const double*, double*, const int*)
    __attribute__((alias("tafu06")));
KINKBENCH_API extern void tagu06_(const int*, const int*, const double*, double*, const int*)
    __attribute__((alias("tagu06")));
KINKBENCH_API extern void tahd06_(const int*, const int*, const double*, double*, const int*)
    __attribute__((alias("tahd06")));

}  // extern "C"
