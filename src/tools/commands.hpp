// The command's subcommands. main() parses the words into these argument sets; each run
// function checks what the parser cannot, does the work, and returns the exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kinkbench::tools {

constexpr int kUsageError = 2;

// One line on stderr that points at the command's help; returns kUsageError.
int usage_error(const std::string& command, const std::string& message);

// A word nothing asked for; `hint` (may be empty) says what was probably meant.
int unexpected_argument(const std::string& command, const std::string& word,
                        const std::string& hint = {});

struct ListArgs {
  std::vector<std::string> positional;
  bool json = false;
};
int run_list(const ListArgs& args);

struct EvalArgs {
  std::vector<std::string> positional;
  std::optional<std::string> n;
  std::optional<std::string> x;
  std::optional<std::string> k;
  bool gradient = false;
  bool hessian = false;
  bool all = false;
  bool json = false;
  bool stream = false;
};
int run_eval(const EvalArgs& args);

struct CheckArgs {
  std::vector<std::string> positional;
  bool json = false;
};
int run_check(const CheckArgs& args);

}  // namespace kinkbench::tools
