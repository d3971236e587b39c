// The C routines of both collections with arbitrary (iprob, n, k, capacity) and point
// bits. Every array is exactly as long as the routines' contract allows for that n
// (x and g: n, h: n(n+1)/2, f: 1) between guard zones. Properties: no access outside
// them; a set-up that rejects n or the capacity changes neither x nor the data area;
// evaluations never change the data area; below a problem's dimension nothing is written
// (minimax) or the outputs stay cleared (nonsmooth).
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/rules.hpp"
#include "guarded.hpp"
#include "kinkbench/kinkbench.h"
#include "minimax/problems.hpp"
#include "test19/problems.hpp"

namespace {

constexpr double kSentinel = -12345.678;

template <std::size_t N>
struct Snapshot {
  explicit Snapshot(const double (&area)[N]) { std::memcpy(copy, area, sizeof copy); }
  bool same(const double (&area)[N]) const { return std::memcmp(copy, area, sizeof copy) == 0; }
  double copy[N];
};

int pick_number(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 25) : in.ConsumeIntegral<int>();
}

int pick_n(FuzzedDataProvider& in) {
  return in.ConsumeIntegralInRange(0, 15) == 0 ? INT_MIN + in.ConsumeIntegralInRange(0, 2)
                                               : in.ConsumeIntegralInRange(-3, 60);
}

std::size_t length(int n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

std::size_t packed_length(int n) {
  return static_cast<std::size_t>(kinkbench::detail::packed_size(n));
}

// The point: the starting point the set-up gave, with some components replaced by
// arbitrary bit patterns or scaled by a small factor.
void perturb(FuzzedDataProvider& in, kbfuzz::Guarded& x) {
  for (std::size_t i = 0; i < x.size() && in.remaining_bytes() > 0; ++i) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0:
        break;
      case 1: {
        const auto bits = in.ConsumeIntegral<std::uint64_t>();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        x[i] = v;
        break;
      }
      default:
        x[i] = x[i] * 1.5 + in.ConsumeIntegralInRange(-8, 8) * 0.25;
        break;
    }
  }
}

bool all_equal(kbfuzz::Guarded& v, double value) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!kbfuzz::same_bits(v[i], value)) return false;
  }
  return true;
}

void minimax(FuzzedDataProvider& in) {
  const int iprob = pick_number(in);
  int n = pick_n(in);
  int m = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 250) : in.ConsumeIntegral<int>();
  const int capacity = m;
  kbfuzz::Guarded x(length(n), kSentinel);
  double fmin = 0, stepmax = 0;
  int itype = 0, ierr = -1;
  const Snapshot<123> before(empr06);
  tiud06(&n, &m, x.data(), &fmin, &stepmax, &iprob, &itype, &ierr);
  kbfuzz::require(x.intact(), "tiud06 wrote outside x(1..n)");
  kbfuzz::require(ierr == 0 || ierr == 1, "tiud06: ierr neither 0 nor 1");
  if (ierr == 1) {
    kbfuzz::require(before.same(empr06), "a rejected tiud06 changed empr06");
    kbfuzz::require(all_equal(x, kSentinel), "a rejected tiud06 changed x");
    kbfuzz::require(m == capacity, "a rejected tiud06 changed m");
  }
  const Snapshot<123> after_setup(empr06);

  perturb(in, x);
  int k = in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 250) : in.ConsumeIntegral<int>();
  const auto& p = kinkbench::minimax::problem(iprob);
  const bool writes_nothing = n < p.min_n && !p.any_n;

  kbfuzz::Guarded fk(1, kSentinel), g(length(n), kSentinel), h(packed_length(n), kSentinel);
  tafu06(&n, &k, x.data(), fk.data(), &iprob);
  kbfuzz::require(fk.intact(), "tafu06 wrote outside fk");
  tagu06(&n, &k, x.data(), g.data(), &iprob);
  kbfuzz::require(g.intact(), "tagu06 wrote outside g(1..n)");
  tahd06(&n, &k, x.data(), h.data(), &iprob);
  kbfuzz::require(h.intact(), "tahd06 wrote outside h(1..n(n+1)/2)");
  kbfuzz::require(x.intact(), "an evaluation wrote outside x");
  kbfuzz::require(after_setup.same(empr06), "an evaluation changed empr06");
  if (writes_nothing) {
    kbfuzz::require(all_equal(fk, kSentinel) && all_equal(g, kSentinel) && all_equal(h, kSentinel),
                    "a minimax evaluation below the dimension wrote");
  }
}

void nonsmooth(FuzzedDataProvider& in) {
  const int iprob = pick_number(in);
  int n = pick_n(in);
  kbfuzz::Guarded x(length(n), kSentinel);
  double fmin = 0, stepmax = 0;
  int ierr = -1;
  const Snapshot<2700> before(empr19);
  tiud19(&n, x.data(), &fmin, &stepmax, &iprob, &ierr);
  kbfuzz::require(x.intact(), "tiud19 wrote outside x(1..n)");
  kbfuzz::require(ierr == 0 || ierr == 1, "tiud19: ierr neither 0 nor 1");
  if (ierr == 1) {
    kbfuzz::require(before.same(empr19), "a rejected tiud19 changed empr19");
    kbfuzz::require(all_equal(x, n < 2 ? kSentinel : 0.0), "a rejected tiud19 left x wrong");
  }
  const Snapshot<2700> after_setup(empr19);

  perturb(in, x);
  const auto& p = kinkbench::nonsmooth::problem(iprob);
  const bool evaluable = (n >= p.min_n || p.any_n) && (p.max_n == 0 || n <= p.max_n);

  kbfuzz::Guarded f(1, kSentinel), g(length(n), kSentinel), h(packed_length(n), kSentinel);
  tffu19(&n, x.data(), f.data(), &iprob);
  kbfuzz::require(f.intact(), "tffu19 wrote outside f");
  tfgu19(&n, x.data(), g.data(), &iprob);
  kbfuzz::require(g.intact(), "tfgu19 wrote outside g(1..n)");
  tfhd19(&n, x.data(), h.data(), &iprob);
  kbfuzz::require(h.intact(), "tfhd19 wrote outside h(1..n(n+1)/2)");
  kbfuzz::require(x.intact(), "an evaluation wrote outside x");
  kbfuzz::require(after_setup.same(empr19), "an evaluation changed empr19");
  if (!evaluable) {
    kbfuzz::require(all_equal(f, 0.0) && all_equal(g, 0.0) && all_equal(h, 0.0),
                    "a nonsmooth evaluation outside the dimension range left a non-zero");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each input starts from the areas' state at program start, so that a finding
  // reproduces from its input alone.
  std::memset(empr06, 0, sizeof empr06);
  std::memset(empr19, 0, sizeof empr19);
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    minimax(in);
  } else {
    nonsmooth(in);
  }
  return 0;
}
