// One-line set-up error texts. Formatted with snprintf rather than std::to_string, whose
// inline digit table would otherwise leak out of the shared library as an exported name.
#pragma once

#include <cstdio>
#include <string>

#include "kinkbench/detail/expected.hpp"

namespace kinkbench::detail {

template <class... Args>
std::string message(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

inline SetupError too_large(const char* collection, int number, int n) {
  return SetupError{SetupErrorCode::dimension_too_large,
                    message("%s problem %d: n = %d is above the largest n an object holds, %d",
                            collection, number, n, kLargestDimension)};
}

}  // namespace kinkbench::detail
