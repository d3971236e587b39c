#include "test19/cubic_program_data.hpp"

#include "test19/tables/cc.hpp"

namespace kinkbench::nonsmooth::cubic_program {

void write(double* data) {
  static_assert(tables::kCcSize == kSize);
  for (int k = 0; k < kSize; ++k) data[k] = tables::cc[k];
  // The entries the integer table cannot hold.
  data[kRows * 0 + 3 - 1] = -3.5;  // A(3, 1)
  data[kRows * 4 + 5 - 1] = -2.8;  // A(5, 5)
  data[50 + 3 - 1] = -0.25;        // b(3)
}

}  // namespace kinkbench::nonsmooth::cubic_program
