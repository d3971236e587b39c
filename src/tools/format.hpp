// How the command writes numbers: finite values in full round-trip precision, and the
// non-finite ones as inf, -inf and nan, the spellings --x reads back. JSON has no
// non-finite numbers, so there they are the strings "inf", "-inf" and "nan".
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

namespace kinkbench::tools {

// Keys keep the order they are written in.
using Json = nlohmann::ordered_json;

std::string number_text(double v);
std::string numbers_text(std::span<const double> v);  // separated by single blanks

Json json_number(double v);
Json json_numbers(std::span<const double> v);

// The object on one line of `out`.
void print_json(std::FILE* out, const Json& object);

}  // namespace kinkbench::tools
