// Small wrappers over the C routines for tests: set a problem up, evaluate with a
// sentinel-filled output, and adapt the routines to the derivative checker.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "check/derivative_check.hpp"
#include "kinkbench/kinkbench.h"

namespace kbtest {

// Fills outputs before a call, so that untouched entries can be told from written ones.
inline constexpr double kSentinel = -12345.678;

inline std::int64_t packed_size(int n) { return static_cast<std::int64_t>(n) * (n + 1) / 2; }

struct MinimaxSetup {
  int m = 0;
  int itype = 0;
  int ierr = 0;
  double fmin = 0;
  double stepmax = 0;
  std::vector<double> x;
};

// tiud06 with x prefilled by the sentinel; m is the capacity offered.
inline MinimaxSetup setup_minimax(int iprob, int n, int capacity = 100) {
  MinimaxSetup s;
  s.m = capacity;
  s.x.assign(static_cast<size_t>(n), kSentinel);
  tiud06(&n, &s.m, s.x.data(), &s.fmin, &s.stepmax, &iprob, &s.itype, &s.ierr);
  return s;
}

inline double minimax_value(int iprob, int n, int k, const double* x) {
  double fk = kSentinel;
  tafu06(&n, &k, x, &fk, &iprob);
  return fk;
}

inline std::vector<double> minimax_gradient(int iprob, int n, int k, const double* x) {
  std::vector<double> g(static_cast<size_t>(n), kSentinel);
  tagu06(&n, &k, x, g.data(), &iprob);
  return g;
}

inline std::vector<double> minimax_hessian(int iprob, int n, int k, const double* x) {
  std::vector<double> h(static_cast<size_t>(packed_size(n)), kSentinel);
  tahd06(&n, &k, x, h.data(), &iprob);
  return h;
}

// Largest relative gradient and Hessian errors of partial function k at x; the problem
// must be set up.
inline kinkbench::check::Mismatch minimax_gradient_error(int iprob, int n, int k, const double* x) {
  return kinkbench::check::gradient_error(
      n, [=](const double* p) { return minimax_value(iprob, n, k, p); },
      [=](const double* p, double* g) {
        int nn = n, kk = k, ip = iprob;
        tagu06(&nn, &kk, p, g, &ip);
      },
      x);
}

inline kinkbench::check::Mismatch minimax_hessian_error(int iprob, int n, int k, const double* x) {
  return kinkbench::check::hessian_error(
      n,
      [=](const double* p, double* g) {
        int nn = n, kk = k, ip = iprob;
        tagu06(&nn, &kk, p, g, &ip);
      },
      [=](const double* p, double* h) {
        int nn = n, kk = k, ip = iprob;
        tahd06(&nn, &kk, p, h, &ip);
      },
      x);
}

struct NonsmoothSetup {
  int ierr = 0;
  double fmin = 0;
  double stepmax = 0;
  std::vector<double> x;
};

inline NonsmoothSetup setup_nonsmooth(int iprob, int n) {
  NonsmoothSetup s;
  s.x.assign(static_cast<size_t>(n > 0 ? n : 0), kSentinel);
  tiud19(&n, s.x.data(), &s.fmin, &s.stepmax, &iprob, &s.ierr);
  return s;
}

inline double nonsmooth_value(int iprob, int n, const double* x) {
  double f = kSentinel;
  tffu19(&n, x, &f, &iprob);
  return f;
}

inline std::vector<double> nonsmooth_gradient(int iprob, int n, const double* x) {
  std::vector<double> g(static_cast<size_t>(n), kSentinel);
  tfgu19(&n, x, g.data(), &iprob);
  return g;
}

inline std::vector<double> nonsmooth_hessian(int iprob, int n, const double* x) {
  std::vector<double> h(static_cast<size_t>(packed_size(n)), kSentinel);
  tfhd19(&n, x, h.data(), &iprob);
  return h;
}

inline kinkbench::check::Mismatch nonsmooth_gradient_error(int iprob, int n, const double* x) {
  return kinkbench::check::gradient_error(
      n, [=](const double* p) { return nonsmooth_value(iprob, n, p); },
      [=](const double* p, double* g) {
        int nn = n, ip = iprob;
        tfgu19(&nn, p, g, &ip);
      },
      x);
}

inline kinkbench::check::Mismatch nonsmooth_hessian_error(int iprob, int n, const double* x) {
  return kinkbench::check::hessian_error(
      n,
      [=](const double* p, double* g) {
        int nn = n, ip = iprob;
        tfgu19(&nn, p, g, &ip);
      },
      [=](const double* p, double* h) {
        int nn = n, ip = iprob;
        tfhd19(&nn, p, h, &ip);
      },
      x);
}

// Element (i, j), 1-based, j <= i, of a packed Hessian.
inline double packed_at(const std::vector<double>& h, int i, int j) {
  return h[static_cast<size_t>(i * (i - 1) / 2 + j - 1)];
}

}  // namespace kbtest
