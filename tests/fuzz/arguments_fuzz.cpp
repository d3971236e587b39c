// The `kinkbench` command's argument parsers (src/tools/arguments.*) on arbitrary text.
// Properties: an accepted problem, --n or --k lies in its range; an accepted --x has one
// value per comma-separated item and, written back with 17 digits (inf, -inf, nan
// spelled), parses to the same values; a refusal says why in printable ASCII, whatever
// bytes the text held, so it stays one line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "guarded.hpp"
#include "tools/arguments.hpp"

namespace kt = kinkbench::tools;

namespace {

template <class T>
void check_refusal(const kt::Parsed<T>& p) {
  if (p.ok()) return;
  kbfuzz::require(!p.error.empty(), "a refusal says nothing");
  for (const char c : p.error) {
    kbfuzz::require(c >= ' ' && c <= '~', "a refusal holds a byte outside printable ASCII");
  }
}

std::string render(const std::vector<double>& values) {
  std::string text;
  char item[40];
  for (const double v : values) {
    if (std::isnan(v)) {
      std::snprintf(item, sizeof item, "nan");
    } else if (std::isinf(v)) {
      std::snprintf(item, sizeof item, "%sinf", v < 0 ? "-" : "");
    } else {
      std::snprintf(item, sizeof item, "%.17g", v);
    }
    if (!text.empty()) text += ',';
    text += item;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int which = data[0] % 5;
  const int m = data[1] % 70 - 2;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  switch (which) {
    case 0: {
      const auto p = kt::collection_argument(text);
      kbfuzz::require(p.ok() == (text == "minimax" || text == "nonsmooth"),
                      "collection accepted or refused wrongly");
      check_refusal(p);
      break;
    }
    case 1: {
      const auto p = kt::problem_argument(text);
      kbfuzz::require(!p.ok() || (p.value >= 1 && p.value <= 25), "problem outside 1..25");
      check_refusal(p);
      break;
    }
    case 2: {
      const auto p = kt::dimension_option(text);
      kbfuzz::require(!p.ok() || (p.value >= 1 && p.value <= kt::kMaxN), "--n outside range");
      check_refusal(p);
      break;
    }
    case 3: {
      const auto p = kt::index_option(text, m);
      kbfuzz::require(!p.ok() || (p.value >= 1 && p.value <= m), "--k outside 1..m");
      check_refusal(p);
      break;
    }
    default: {
      const auto p = kt::point_option(text);
      check_refusal(p);
      if (!p.ok()) break;
      std::size_t commas = 0;
      for (const char c : text) commas += c == ',';
      kbfuzz::require(p.value.size() == commas + 1, "--x: not one value per item");
      const std::string again = render(p.value);
      const auto q = kt::point_option(again);
      kbfuzz::require(q.ok() && q.value.size() == p.value.size(), "--x: written back, refused");
      for (std::size_t i = 0; i < p.value.size(); ++i) {
        const bool same = std::isnan(p.value[i]) ? std::isnan(q.value[i])
                                                 : kbfuzz::same_bits(p.value[i], q.value[i]);
        kbfuzz::require(same, "--x: written back, read differently");
      }
      break;
    }
  }
  return 0;
}
