// The command's subcommands. run_command() parses the words into these argument sets; each
// run function checks what the parser cannot, does the work, and returns the exit status.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kinkbench::tools {

constexpr int kUsageError = 2;

// The whole command on the words after the program's name: reads points from `in` (eval
// --stream only), writes results and help to `out` and refusals to `err`, and returns the
// exit status.
int run_command(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
                std::FILE* err);

// Where a subcommand reads and writes.
struct Console {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

// One line on `err` that points at the command's help; returns kUsageError. `message`
// quotes the user's words with quote() (arguments.hpp), so it holds no line break.
int usage_error(std::FILE* err, const std::string& command, const std::string& message);

// A word nothing asked for; `hint` (may be empty) says what was probably meant.
int unexpected_argument(std::FILE* err, const std::string& command, const std::string& word,
                        const std::string& hint = {});

struct ListArgs {
  std::vector<std::string> positional;
  bool json = false;
};
int run_list(const Console& io, const ListArgs& args);

struct EvalArgs {
  std::vector<std::string> positional;
  std::optional<std::string> n;
  std::optional<std::string> x;
  std::optional<std::string> k;
  std::optional<std::string> active;  // eps: list the active pieces and the stationarity
  bool gradient = false;
  bool hessian = false;
  bool all = false;
  bool json = false;
  bool stream = false;
};
int run_eval(const Console& io, const EvalArgs& args);

struct CheckArgs {
  std::vector<std::string> positional;
  bool json = false;
};
int run_check(const Console& io, const CheckArgs& args);

}  // namespace kinkbench::tools
