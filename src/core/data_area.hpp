// A collection's process-wide data area answers to two names, the C one and the one
// Fortran's COMMON block resolves to, both aliases of one storage. A program linked
// against the shared library gets its own copy of a data name it uses (a copy
// relocation); the routines then work on that copy, so whichever name a caller reads
// shows what the set-up wrote.
#pragma once

#include <cstring>

namespace kinkbench::detail {

inline double* visible_area(double* c_name, double* fortran_name, double* storage) {
  if (c_name != storage) return c_name;
  if (fortran_name != storage) return fortran_name;
  return storage;
}

// Only a program that uses both names holds two copies; keep the second in step after
// every set-up.
inline void mirror_area(double* c_name, double* fortran_name, const double* area,
                        std::size_t count) {
  if (c_name == fortran_name) return;
  double* other = area == c_name ? fortran_name : c_name;
  std::memcpy(other, area, count * sizeof(double));
}

}  // namespace kinkbench::detail
