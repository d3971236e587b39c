#include "tools/format.hpp"

#include <cmath>
#include <cstdio>

namespace kinkbench::tools {
namespace {

// printf would write a NaN with its sign bit as "-nan", which nothing reads back.
const char* non_finite_text(double v) {
  if (std::isnan(v)) return "nan";
  return v > 0 ? "inf" : "-inf";
}

}  // namespace

std::string number_text(double v) {
  if (!std::isfinite(v)) return non_finite_text(v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string numbers_text(std::span<const double> v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i > 0) out += ' ';
    out += number_text(v[i]);
  }
  return out;
}

// nlohmann writes the shortest text that reads back to the same double.
Json json_number(double v) { return std::isfinite(v) ? Json(v) : Json(non_finite_text(v)); }

Json json_numbers(std::span<const double> v) {
  Json array = Json::array();
  for (const double x : v) array.push_back(json_number(x));
  return array;
}

void print_json(std::FILE* out, const Json& object) {
  const std::string text = object.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::fprintf(out, "%s\n", text.c_str());
}

}  // namespace kinkbench::tools
