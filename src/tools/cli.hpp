// A small declarative command-line parser for the kinkbench command: options are
// declared once with their help text, and every parse failure is one message.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kinkbench::cli {

struct OptionSpec {
  std::string name;      // without the leading "--"
  std::string argument;  // empty for a flag, else the argument's name in the help
  std::string help;
};

struct Parsed {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // flags map to ""
  bool has(const std::string& name) const { return values.contains(name); }
};

// Parses args against declared; "--name value" and "--name=value" both work. Returns the
// error message instead when an option is unknown, a value is missing, or a flag gets a
// value.
struct ParseResult {
  std::optional<Parsed> parsed;
  std::string error;
};
ParseResult parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& declared);

std::string describe(const std::vector<OptionSpec>& declared);

// Strict conversions: the whole text must be the number.
std::optional<int> to_int(const std::string& text);
std::optional<double> to_double(const std::string& text);
// "v1,v2,..." into numbers; nullopt when any item is not a number.
std::optional<std::vector<double>> to_doubles(const std::string& text);

}  // namespace kinkbench::cli
