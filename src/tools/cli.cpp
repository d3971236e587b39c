#include "tools/cli.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kinkbench::cli {
namespace {

const OptionSpec* find(const std::vector<OptionSpec>& declared, const std::string& name) {
  for (const OptionSpec& s : declared) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

}  // namespace

ParseResult parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& declared) {
  Parsed parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    const OptionSpec* option = find(declared, name);
    if (option == nullptr) return {std::nullopt, "unknown option '--" + name + "'"};
    if (option->argument.empty()) {
      if (eq != std::string::npos) return {std::nullopt, "option '--" + name + "' takes no value"};
      parsed.values[name] = "";
    } else if (eq != std::string::npos) {
      parsed.values[name] = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[name] = args[++i];
    } else {
      return {std::nullopt, "option '--" + name + "' needs a value (" + option->argument + ")"};
    }
  }
  return {parsed, {}};
}

std::string describe(const std::vector<OptionSpec>& declared) {
  std::string out;
  for (const OptionSpec& s : declared) {
    std::string left = "  --" + s.name + (s.argument.empty() ? "" : " " + s.argument);
    if (left.size() < 24) left.resize(24, ' ');
    out += left + " " + s.help + "\n";
  }
  return out;
}

std::optional<int> to_int(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

std::optional<double> to_double(const std::string& text) {
  // Decimal notation only: strtod would also take "nan", "inf" and hexadecimal forms.
  if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') return std::nullopt;
  return v;
}

std::optional<std::vector<double>> to_doubles(const std::string& text) {
  std::vector<double> values;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const auto v = to_double(text.substr(start, comma - start));
    if (!v) return std::nullopt;
    values.push_back(*v);
    if (comma == std::string::npos) return values;
    start = comma + 1;
  }
}

}  // namespace kinkbench::cli
