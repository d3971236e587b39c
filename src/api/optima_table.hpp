// The stored optima, generated from data/optima.json at build time.
#pragma once

#include <span>

#include "kinkbench/best_known.hpp"

namespace kinkbench::detail {

// The entries of one collection, by number.
std::span<const BestKnown> stored_optima(bool minimax);

// The entry for a problem set up at n; nullptr when none is stored for that n.
inline const BestKnown* find_optimum(bool minimax, int number, int n) {
  for (const BestKnown& entry : stored_optima(minimax)) {
    if (entry.number == number && entry.n == n) return &entry;
  }
  return nullptr;
}

}  // namespace kinkbench::detail
