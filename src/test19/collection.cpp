// The nonsmooth problem table, the collection-wide rules and the C routines.
#include "core/data_area.hpp"
#include "core/rules.hpp"
#include "kinkbench/kinkbench.h"
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth {
namespace {

#define ROW(ns) ns::setup, ns::value, ns::gradient, ns::hessian

// min_n, max_n, fmin, stepmax, reads data, routines, summary
constexpr Problem kTable[kProblemCount] = {
    {2, 0, 0, 1000, false, ROW(p01), "Rosenbrock's banana valley"},
    {2, 0, 0, 1000, false, ROW(p02), "absolute value of a circle's equation plus x2"},
    {2, 0, 0, 1000, false, ROW(p03), "maximum of a quartic, a quadratic and an exponential"},
    {2, 0, 0, 1000, false, ROW(p04), "problem 3 with the quartic on the other variable"},
    {2, 0, -1e60, 1000, false, ROW(p05), "maximum of two linear pieces and a quadratic"},
    {2, 0, 0, 1000, false, ROW(p06), "quadratic with two linear exact penalties"},
    {2, 0, -1e60, 1000, false, ROW(p07), "maximum of a linear and a quadratic piece"},
    {2, 0, -1e60, 1000, false, ROW(p08), "linear function with an exact penalty of the disc"},
    {2, 0, -1e60, 1000, false, ROW(p09), "linear function plus an absolute circle term"},
    {2, 0, -1e60, 1000, false, ROW(p10), "piecewise function on three regions"},
    {4, 0, -1e60, 1000, false, ROW(p11), "quadratic with three penalised quadratic constraints"},
    {5, 0, 0, 1000, true, ROW(p12), "maximum of ten weighted squared distances"},
    {5, 0, -1e60, 1000, true, ROW(p13), "penalised cubic program on stored data"},
    {5, 0, -1e60, 1, false, ROW(p14), "product plus three absolute values, 5 variables"},
    {6, 0, 0, 2, false, ROW(p15), "L1 fit of an exponential model at 51 points"},
    {10, 10, -1e60, 1000, true, ROW(p16), "maximum of five generated quadratics"},
    {10, 0, 0, 10, false, ROW(p17), "maximum of three smooth functions of 10 variables"},
    {12, 0, 0, 1000, true, ROW(p18), "weighted chain of distances between six points"},
    {20, 0, 0, 5, false, ROW(p19), "largest square of 20 variables"},
    {20, 0, 0, 10, false, ROW(p20), "largest absolute value of 20 variables"},
    {48, 48, -1e60, 1000, true, ROW(p21), "piecewise linear on a 48-city distance table"},
    {50, 0, 0, 10, false, ROW(p22), "50 times the largest of 50 variables minus their sum"},
    {30, 0, 0, 5, false, ROW(p23), "largest absolute row sum of a Hilbert-type system", true},
    {30, 0, 0, 1000, false, ROW(p24), "sum of absolute row sums of a Hilbert-type system", true},
    {15, 0, 0, 1000, true, ROW(p25), "exact penalty form of a cubic program"},
};

#undef ROW

bool dimension_in_range(const Problem& p, int n) { return p.max_n == 0 || n <= p.max_n; }

// Outside the range of n a problem's formulas are written for, the evaluation routines
// leave their outputs cleared: below it they would index past the caller's arrays, above
// it past the problem's data.
bool evaluable(const Problem& p, int n) {
  return (n >= p.min_n || p.any_n) && dimension_in_range(p, n);
}

}  // namespace

const Problem& problem(int iprob) {
  return (iprob >= 2 && iprob <= kProblemCount) ? kTable[iprob - 1] : kTable[0];
}

void setup(int n, double* x, double* fmin, double* stepmax, int iprob, int* ierr, double* data) {
  *fmin = 0;
  *stepmax = 1000;
  *ierr = 0;
  if (n < 2) {
    *ierr = 1;
    return;
  }
  detail::clear(x, n);
  const Problem& p = problem(iprob);
  if (n < p.min_n || !dimension_in_range(p, n)) {
    *ierr = 1;
    return;
  }
  *fmin = p.fmin;
  *stepmax = p.stepmax;
  p.setup(n, x, data);
}

void value(int n, const double* x, double* f, int iprob, const double* data) {
  *f = 0;
  const Problem& p = problem(iprob);
  if (evaluable(p, n)) p.value(n, x, f, data);
}

void gradient(int n, const double* x, double* g, int iprob, const double* data) {
  if (n >= 1) detail::clear(g, n);
  const Problem& p = problem(iprob);
  if (evaluable(p, n)) p.gradient(n, x, g, data);
}

void hessian(int n, const double* x, double* h, int iprob, const double* data) {
  detail::clear(h, detail::packed_size(n));
  const Problem& p = problem(iprob);
  if (evaluable(p, n)) p.hessian(n, x, h, data);
}

}  // namespace kinkbench::nonsmooth

extern "C" {

// The storage behind empr19 and empr19_ (see core/data_area.hpp).
__attribute__((
    visibility("hidden"))) double kinkbench_empr19_storage[kinkbench::nonsmooth::kDataSize];
KINKBENCH_API extern double empr19[kinkbench::nonsmooth::kDataSize]
    __attribute__((alias("kinkbench_empr19_storage")));
KINKBENCH_API extern double empr19_[kinkbench::nonsmooth::kDataSize]
    __attribute__((alias("kinkbench_empr19_storage")));

namespace {

double* area19() {
  return kinkbench::detail::visible_area(empr19, empr19_, kinkbench_empr19_storage);
}

}  // namespace

KINKBENCH_API void tiud19(const int* n, double* x, double* fmin, double* stepmax, const int* iprob,
                          int* ierr) {
  double* area = area19();
  kinkbench::nonsmooth::setup(*n, x, fmin, stepmax, *iprob, ierr, area);
  kinkbench::detail::mirror_area(empr19, empr19_, area, kinkbench::nonsmooth::kDataSize);
}

KINKBENCH_API void tffu19(const int* n, const double* x, double* f, const int* iprob) {
  kinkbench::nonsmooth::value(*n, x, f, *iprob, area19());
}

KINKBENCH_API void tfgu19(const int* n, const double* x, double* g, const int* iprob) {
  kinkbench::nonsmooth::gradient(*n, x, g, *iprob, area19());
}

KINKBENCH_API void tfhd19(const int* n, const double* x, double* h, const int* iprob) {
  kinkbench::nonsmooth::hessian(*n, x, h, *iprob, area19());
}

// The names gfortran gives external procedures (arguments by reference).
KINKBENCH_API extern void tiud19_(const int*, double*, double*, double*, const int*, int*)
    __attribute__((alias("tiud19")));
KINKBENCH_API extern void tffu19_(const int*, const double*, double*, const int*)
    __attribute__((alias("tffu19")));
KINKBENCH_API extern void tfgu19_(const int*, const double*, double*, const int*)
    __attribute__((alias("tfgu19")));
KINKBENCH_API extern void tfhd19_(const int*, const double*, double*, const int*)
    __attribute__((alias("tfhd19")));

}  // extern "C"
