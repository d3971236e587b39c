// One-line set-up error texts. Formatted with snprintf rather than std::to_string, whose
// inline digit table would otherwise leak out of the shared library as an exported name.
#pragma once

#include <cstdio>
#include <string>

namespace kinkbench::detail {

template <class... Args>
std::string message(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace kinkbench::detail
