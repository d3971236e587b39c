// The integer entries of the cubic program's data block (nonsmooth problems 13 and 25),
// one per element of the block in storage order. The three entries that are not
// integers hold 0 here; the block's writer supplies them.
#pragma once

namespace kinkbench::nonsmooth::tables {

inline constexpr int kCcSize = 95;

extern const signed char cc[kCcSize];

}  // namespace kinkbench::nonsmooth::tables
