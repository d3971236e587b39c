// The scan of problems 19 and 20: the largest of term(x(i)), i = 1..count, under the
// maximum rule, and the index that the derivatives use. The index moves only to a
// strictly greater term, while the running value also leaves a NaN behind, so a NaN
// first term keeps index 1 until a later term beats the value that replaced it.
#pragma once

#include "core/rules.hpp"

namespace kinkbench::nonsmooth {

struct Largest {
  double value;
  int index;  // 1-based
};

template <class Term>
Largest largest_term(const double* x, int count, Term term) {
  Largest r{term(x[0]), 1};
  for (int i = 2; i <= count; ++i) {
    const double t = term(x[i - 1]);
    if (t > r.value) r.index = i;
    if (detail::replaces_max(t, r.value)) r.value = t;
  }
  return r;
}

}  // namespace kinkbench::nonsmooth
