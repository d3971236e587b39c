// The nonsmooth collection's core: per-problem functions of (n, x, data area), and the
// table that holds every problem's facts. Nothing here touches a global; the C routines
// pass the process-wide data area and the C++ objects pass their own copy.
#pragma once

namespace kinkbench::nonsmooth {

inline constexpr int kDataSize = 2700;

// Called only after the dimension checks passed and x(1..n) was cleared: writes the
// non-zero starting point components and the problem's data.
using SetupFn = void(int n, double* x, double* data);
// Called with the output already cleared (f = 0, g(1..n) = 0, h(1..n(n+1)/2) = 0):
// write only the non-zero entries.
using ValueFn = void(int n, const double* x, double* f, const double* data);
using GradientFn = void(int n, const double* x, double* g, const double* data);
using HessianFn = void(int n, const double* x, double* h, const double* data);

struct Problem {
  int min_n;
  int max_n;  // 0: no upper limit. Problems whose data is laid out for one n reject more.
  double fmin;
  double stepmax;
  bool reads_data;
  SetupFn* setup;
  ValueFn* value;
  GradientFn* gradient;
  HessianFn* hessian;
  const char* summary;  // the problem's form in plain words
  // The formulas are defined for every n (they sum over all n variables). Otherwise an
  // n below min_n would make them read x, and write g and h, past the caller's arrays.
  bool any_n = false;
};

inline constexpr int kProblemCount = 25;

// Problem iprob; every number outside 2..25 selects problem 1.
const Problem& problem(int iprob);

// The collection's routines with the data area as a parameter.
void setup(int n, double* x, double* fmin, double* stepmax, int iprob, int* ierr, double* data);
void value(int n, const double* x, double* f, int iprob, const double* data);
void gradient(int n, const double* x, double* g, int iprob, const double* data);
void hessian(int n, const double* x, double* h, int iprob, const double* data);

#define KINKBENCH_NONSMOOTH_PROBLEM(ns) \
  namespace ns {                        \
  SetupFn setup;                        \
  ValueFn value;                        \
  GradientFn gradient;                  \
  HessianFn hessian;                    \
  }

KINKBENCH_NONSMOOTH_PROBLEM(p01)
KINKBENCH_NONSMOOTH_PROBLEM(p02)
KINKBENCH_NONSMOOTH_PROBLEM(p03)
KINKBENCH_NONSMOOTH_PROBLEM(p04)
KINKBENCH_NONSMOOTH_PROBLEM(p05)
KINKBENCH_NONSMOOTH_PROBLEM(p06)
KINKBENCH_NONSMOOTH_PROBLEM(p07)
KINKBENCH_NONSMOOTH_PROBLEM(p08)
KINKBENCH_NONSMOOTH_PROBLEM(p09)
KINKBENCH_NONSMOOTH_PROBLEM(p10)
KINKBENCH_NONSMOOTH_PROBLEM(p11)
KINKBENCH_NONSMOOTH_PROBLEM(p12)
KINKBENCH_NONSMOOTH_PROBLEM(p13)
KINKBENCH_NONSMOOTH_PROBLEM(p14)
KINKBENCH_NONSMOOTH_PROBLEM(p15)
KINKBENCH_NONSMOOTH_PROBLEM(p16)
KINKBENCH_NONSMOOTH_PROBLEM(p17)
KINKBENCH_NONSMOOTH_PROBLEM(p18)
KINKBENCH_NONSMOOTH_PROBLEM(p19)
KINKBENCH_NONSMOOTH_PROBLEM(p20)
KINKBENCH_NONSMOOTH_PROBLEM(p21)
KINKBENCH_NONSMOOTH_PROBLEM(p22)
KINKBENCH_NONSMOOTH_PROBLEM(p23)
KINKBENCH_NONSMOOTH_PROBLEM(p24)
KINKBENCH_NONSMOOTH_PROBLEM(p25)

#undef KINKBENCH_NONSMOOTH_PROBLEM

}  // namespace kinkbench::nonsmooth
