#include "tools/arguments.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "blackbox/point_file.hpp"

namespace kinkbench::tools {
namespace {

enum class Whole { ok, not_whole, out_of_range };

Whole whole_number(std::string_view text, long long& out) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return Whole::not_whole;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  if (end != text.data() + text.size()) return Whole::not_whole;
  if (ec == std::errc::result_out_of_range) return Whole::out_of_range;
  return ec == std::errc() ? Whole::ok : Whole::not_whole;
}

bool equals_ignoring_case(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != lower[i]) return false;
  }
  return true;
}

std::optional<double> non_finite(std::string_view text) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (equals_ignoring_case(text, "inf") || equals_ignoring_case(text, "+inf")) return inf;
  if (equals_ignoring_case(text, "-inf")) return -inf;
  if (equals_ignoring_case(text, "nan")) return std::numeric_limits<double>::quiet_NaN();
  return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string coordinates(int count) {
  return std::to_string(count) + (count == 1 ? " coordinate" : " coordinates");
}

}  // namespace

std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (byte >= 0x20 && byte < 0x7f) {
          out += c;
        } else {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xf];
        }
    }
  }
  return out;
}

std::string quote(std::string_view text) {
  std::string out(1, '\'');
  out += escaped(text);
  out += '\'';
  return out;
}

const char* name(Collection collection) {
  return collection == Collection::minimax ? "minimax" : "nonsmooth";
}

Parsed<Collection> collection_argument(std::string_view word) {
  if (word == "minimax") return {Collection::minimax, {}};
  if (word == "nonsmooth") return {Collection::nonsmooth, {}};
  return {{}, "unknown collection " + quote(word) + " (minimax or nonsmooth)"};
}

Parsed<int> problem_argument(std::string_view text) {
  long long number = 0;
  if (whole_number(text, number) != Whole::ok || number < 1 || number > 25) {
    return {{}, "unknown problem " + quote(text) + " (1..25)"};
  }
  return {static_cast<int>(number), {}};
}

Parsed<int> dimension_option(std::string_view text) {
  long long n = 0;
  const Whole whole = whole_number(text, n);
  if (whole == Whole::not_whole) return {{}, "--n needs a whole number, got " + quote(text)};
  if (whole == Whole::out_of_range || n < 1 || n > kMaxN) {
    return {{}, "--n " + std::string(text) + " is out of range (1.." + std::to_string(kMaxN) + ")"};
  }
  return {static_cast<int>(n), {}};
}

Parsed<int> index_option(std::string_view text, int m) {
  long long k = 0;
  if (whole_number(text, k) != Whole::ok || k < 1 || k > m) {
    return {{}, "--k must be 1.." + std::to_string(m) + ", got " + quote(text)};
  }
  return {static_cast<int>(k), {}};
}

bool number_word(std::string_view text, double& out) {
  if (const auto special = non_finite(text)) {
    out = *special;
    return true;
  }
  double v = 0;
  if (!blackbox::parse_value(text.data(), text.size(), &v) || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool overflowing_literal(std::string_view text) {
  double v = 0;
  return blackbox::parse_value(text.data(), text.size(), &v) && std::isinf(v);
}

Parsed<std::vector<double>> point_option(std::string_view text) {
  Parsed<std::vector<double>> result;
  for (size_t start = 0;;) {
    const size_t comma = text.find(',', start);
    const std::string_view item = trimmed(text.substr(start, comma - start));
    const std::string position = "coordinate " + std::to_string(result.value.size() + 1);
    double v = 0;
    if (item.empty()) {
      result.error =
          "--x needs comma-separated numbers, " + position + " is empty in " + quote(text);
      return result;
    }
    if (overflowing_literal(item)) {
      result.error = "--x: " + quote(item) + " (" + position +
                     ") is beyond the largest double, about 1.8e308; write inf for an infinity";
      return result;
    }
    if (!number_word(item, v)) {
      result.error = "--x needs comma-separated numbers, got " + quote(item) + " as " + position;
      return result;
    }
    result.value.push_back(v);
    if (comma == std::string_view::npos) return result;
    start = comma + 1;
  }
}

std::string point_count_error(Collection collection, int problem, int count, Dimensions d) {
  std::string message = "--x has " + coordinates(count) + ", n is " + std::to_string(d.n) + "; ";
  const std::string which = std::string(name(collection)) + " problem " + std::to_string(problem);
  if (d.max_n != 0 && d.max_n == d.min_n) {
    return message + which + " is defined for n = " + std::to_string(d.min_n) + " only";
  }
  if (count < d.min_n) return message + which + " needs n >= " + std::to_string(d.min_n);
  if (d.max_n != 0 && count > d.max_n) {
    return message + which + " takes n <= " + std::to_string(d.max_n);
  }
  if (count > kMaxN) return message + "the command takes n <= " + std::to_string(kMaxN);
  return message + "--n " + std::to_string(count) + " would fit";
}

}  // namespace kinkbench::tools
