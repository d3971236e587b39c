// The minimax collection's core: per-problem functions of (n, k, x, data area), and the
// table that holds every problem's facts. Nothing here touches a global; the C routines
// pass the process-wide data area and the C++ objects pass their own copy.
#pragma once

namespace kinkbench::minimax {

inline constexpr int kDataSize = 123;

// Called only after the dimension checks passed: writes the starting point components
// the problem defines and the problem's data.
using SetupFn = void(int n, double* x, double* data);
using ValueFn = void(int n, int k, const double* x, double* fk, const double* data);
using GradientFn = void(int n, int k, const double* x, double* gk, const double* data);
using HessianFn = void(int n, int k, const double* x, double* hk, const double* data);

struct Problem {
  int min_n;
  int min_m;  // capacity the caller must offer
  int m;      // number of partial functions
  int itype;
  double stepmax;
  bool reads_data;
  SetupFn* setup;
  ValueFn* value;
  GradientFn* gradient;
  HessianFn* hessian;
  const char* summary;  // the problem's form in plain words
  // The formulas are defined for every n (they use all n variables). Otherwise an n
  // below min_n would make them read x, and write gk and hk, past the caller's arrays.
  bool any_n = false;
};

inline constexpr int kProblemCount = 25;
inline constexpr double kFmin = -1e60;

// Problem iprob; every number outside 2..25 selects problem 1.
const Problem& problem(int iprob);

// The collection's routines with the data area as a parameter.
void setup(int n, int* m, double* x, double* fmin, double* stepmax, int iprob, int* itype,
           int* ierr, double* data);
void value(int n, int k, const double* x, double* fk, int iprob, const double* data);
void gradient(int n, int k, const double* x, double* gk, int iprob, const double* data);
void hessian(int n, int k, const double* x, double* hk, int iprob, const double* data);

#define KINKBENCH_MINIMAX_PROBLEM(ns) \
  namespace ns {                      \
  SetupFn setup;                      \
  ValueFn value;                      \
  GradientFn gradient;                \
  HessianFn hessian;                  \
  }

KINKBENCH_MINIMAX_PROBLEM(p01)
KINKBENCH_MINIMAX_PROBLEM(p02)
KINKBENCH_MINIMAX_PROBLEM(p03)
KINKBENCH_MINIMAX_PROBLEM(p04)
KINKBENCH_MINIMAX_PROBLEM(p05)
KINKBENCH_MINIMAX_PROBLEM(p06)
KINKBENCH_MINIMAX_PROBLEM(p07)
KINKBENCH_MINIMAX_PROBLEM(p08)
KINKBENCH_MINIMAX_PROBLEM(p09)
KINKBENCH_MINIMAX_PROBLEM(p10)
KINKBENCH_MINIMAX_PROBLEM(p11)
KINKBENCH_MINIMAX_PROBLEM(p12)
KINKBENCH_MINIMAX_PROBLEM(p13)
KINKBENCH_MINIMAX_PROBLEM(p14)
KINKBENCH_MINIMAX_PROBLEM(p15)
KINKBENCH_MINIMAX_PROBLEM(p16)
KINKBENCH_MINIMAX_PROBLEM(p17)
KINKBENCH_MINIMAX_PROBLEM(p18)
KINKBENCH_MINIMAX_PROBLEM(p19)
KINKBENCH_MINIMAX_PROBLEM(p20)
KINKBENCH_MINIMAX_PROBLEM(p21)
KINKBENCH_MINIMAX_PROBLEM(p22)
KINKBENCH_MINIMAX_PROBLEM(p23)
KINKBENCH_MINIMAX_PROBLEM(p24)
KINKBENCH_MINIMAX_PROBLEM(p25)

#undef KINKBENCH_MINIMAX_PROBLEM

}  // namespace kinkbench::minimax
