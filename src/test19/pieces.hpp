// Every nonsmooth problem as a smooth part plus sums of maxima of smooth pieces: per
// problem the group sizes, the values and gradients at x, and the pieces' names. Each
// problem's pieces sit beside its routines in pNN.cpp and use the same formulas.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace kinkbench::nonsmooth {

// Outputs of decompose(), all cleared by the caller (s = 0, every gradient 0): a problem
// writes only what is non-zero.
struct PieceOut {
  int n;
  double* s;     // s(x)
  double* ds;    // its gradient, n entries
  double* phi;   // piece values, group after group
  double* dphi;  // piece gradients, n per piece, row-major
  double* grad(int piece) const { return dphi + static_cast<std::ptrdiff_t>(piece) * n; }
};

// The number of groups at dimension n; their sizes into sizes[0..] when it is not null.
using GroupsFn = int(int n, int* sizes);
using DecomposeFn = void(int n, const double* x, const double* data, const PieceOut& out);
// The name of piece `index` (0-based) of group `group` (1-based).
using PieceNameFn = std::string(int n, int group, int index);

struct PieceForm {
  GroupsFn* groups;
  DecomposeFn* decompose;
  PieceNameFn* name;
  bool smooth;  // s(x) is not identically 0
};

const PieceForm& piece_form(int iprob);

#define KINKBENCH_NONSMOOTH_PIECES(ns) \
  namespace ns {                       \
  GroupsFn decompose_groups;           \
  DecomposeFn decompose;               \
  PieceNameFn piece_name;              \
  }

KINKBENCH_NONSMOOTH_PIECES(p01)
KINKBENCH_NONSMOOTH_PIECES(p02)
KINKBENCH_NONSMOOTH_PIECES(p03)
KINKBENCH_NONSMOOTH_PIECES(p04)
KINKBENCH_NONSMOOTH_PIECES(p05)
KINKBENCH_NONSMOOTH_PIECES(p06)
KINKBENCH_NONSMOOTH_PIECES(p07)
KINKBENCH_NONSMOOTH_PIECES(p08)
KINKBENCH_NONSMOOTH_PIECES(p09)
KINKBENCH_NONSMOOTH_PIECES(p10)
KINKBENCH_NONSMOOTH_PIECES(p11)
KINKBENCH_NONSMOOTH_PIECES(p12)
KINKBENCH_NONSMOOTH_PIECES(p13)
KINKBENCH_NONSMOOTH_PIECES(p14)
KINKBENCH_NONSMOOTH_PIECES(p15)
KINKBENCH_NONSMOOTH_PIECES(p16)
KINKBENCH_NONSMOOTH_PIECES(p17)
KINKBENCH_NONSMOOTH_PIECES(p18)
KINKBENCH_NONSMOOTH_PIECES(p19)
KINKBENCH_NONSMOOTH_PIECES(p20)
KINKBENCH_NONSMOOTH_PIECES(p21)
KINKBENCH_NONSMOOTH_PIECES(p22)
KINKBENCH_NONSMOOTH_PIECES(p23)
KINKBENCH_NONSMOOTH_PIECES(p24)
KINKBENCH_NONSMOOTH_PIECES(p25)

#undef KINKBENCH_NONSMOOTH_PIECES

// Names of the common shapes: "<prefix><k>" and the signed pair "+<prefix><k>", "-<prefix><k>".
// snprintf, not std::to_string: the latter's digit table would be exported.
inline std::string numbered(const char* prefix, int k) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", k);
  std::string name = prefix;
  name += digits;
  return name;
}
inline std::string signed_name(bool plus, const char* prefix, int k) {
  std::string name = plus ? "+" : "-";
  name += numbered(prefix, k);
  return name;
}

}  // namespace kinkbench::nonsmooth
