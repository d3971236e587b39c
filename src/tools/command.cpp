// The kinkbench command's words: CLI11 parses them into the subcommands' argument sets, and
// every refusal, CLI11's own included, becomes one line.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "tools/arguments.hpp"
#include "tools/commands.hpp"

namespace kinkbench::tools {

int usage_error(std::FILE* err, const std::string& command, const std::string& message) {
  const std::string help =
      command.empty() ? "kinkbench --help" : "kinkbench " + command + " --help";
  std::fprintf(err, "kinkbench: %s (see '%s')\n", message.c_str(), help.c_str());
  return kUsageError;
}

int unexpected_argument(std::FILE* err, const std::string& command, const std::string& word,
                        const std::string& hint) {
  const bool option = word.size() > 1 && word[0] == '-' && !point_option(word).ok();
  std::string message = (option ? "unknown option " : "unexpected argument ") + quote(word);
  if (!hint.empty()) message += ": " + hint;
  return usage_error(err, command, message);
}

namespace {

const char* const kNumbersNote =
    "Numbers in --x take the forms 1, -0.5, 2.5E-3, 1.0D+00 and 1.0d0, as the black\n"
    "boxes read them from input.in, with blanks allowed around the commas. inf, -inf\n"
    "and nan (in any case) are accepted as well: results print non-finite values\n"
    "with these spellings (in JSON as the strings \"inf\", \"-inf\" and \"nan\"), so\n"
    "any printed point can be given back. A number beyond the largest double\n"
    "(about 1.8e308) is refused rather than taken for an infinity; one below half\n"
    "the smallest subnormal (about 2.5e-324) rounds to 0, as any decimal rounds to\n"
    "its nearest double. The stream reads its numbers the same way.\n";

const char* const kStreamNote =
    "With --stream, eval reads points from standard input, one per line, the numbers\n"
    "separated by blanks or commas, and answers each line with one line, flushed at\n"
    "once, until the input ends (status 0). An answer is the value, for the minimax\n"
    "collection followed by k, then with --gradient the gradient of that value (for\n"
    "max |f_k|, that of |f_k|), all in 17 significant digits; with --json one object\n"
    "per line: {\"line\":L,\"value\":V,\"k\":K,\"gradient\":[...]}. A line that is not n\n"
    "numbers, a blank one included, is answered with 'error line L: ...' (with --json\n"
    "{\"line\":L,\"error\":\"...\"}) and the stream goes on; L counts input lines from 1.\n";

// CLI11's layout under a usage line and a paragraph of our own; the description stays
// the one-line summary that the command list shows.
class Formatter : public CLI::Formatter {
 public:
  void usage(const CLI::App* app, std::string line, std::string paragraph) {
    usages_[app] = {std::move(line), std::move(paragraph)};
  }

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return CLI::Formatter::make_help(app, name, mode);
    const auto& [line, paragraph] = usages_.at(app);
    std::string out = "usage: " + line + "\n\n" + paragraph + "\n";
    out += make_groups(app, mode) + make_subcommands(app, mode);
    while (out.ends_with("\n\n")) out.pop_back();
    if (!app->get_footer().empty()) out += "\n" + app->get_footer();
    return out;
  }

 private:
  std::map<const CLI::App*, std::pair<std::string, std::string>> usages_;
};

struct Command {
  CLI::App app{"Test problems for minimax and nonsmooth optimisation.", "kinkbench"};
  std::shared_ptr<Formatter> formatter = std::make_shared<Formatter>();
  ListArgs list;
  EvalArgs eval;
  CheckArgs check;
  std::string n, x, k, active, check_n, check_x;
  CLI::Option* n_option = nullptr;
  CLI::Option* active_option = nullptr;
  CLI::Option* x_option = nullptr;
  CLI::Option* k_option = nullptr;
  CLI::Option* check_n_option = nullptr;
  CLI::Option* check_x_option = nullptr;
};

CLI::App* add_command(Command& c, const char* name, const char* summary, const char* usage,
                      const char* paragraph) {
  CLI::App* sub = c.app.add_subcommand(name, summary);
  sub->group("commands");
  sub->get_help_ptr()->group("options")->description("show this help");
  // Unknown words are collected and reported by run_command(), in one line each.
  sub->allow_extras();
  c.formatter->usage(sub, usage, paragraph);
  return sub;
}

CLI::Option* add_value(CLI::App* sub, const char* name, std::string& into, const char* argument,
                       const char* help) {
  return sub->add_option(name, into, help)->type_name(argument)->group("options");
}

void add_flag(CLI::App* sub, const char* name, bool& into, const char* help) {
  sub->add_flag(name, into, help)->disable_flag_override()->group("options");
}

void add_words(CLI::App* sub, std::vector<std::string>& into) {
  sub->add_option("words", into)->group("");  // the usage line describes them
}

void build(Command& c) {
  c.app.formatter(c.formatter);
  c.formatter->column_width(19);
  c.formatter->usage(&c.app, "kinkbench <command> [arguments]",
                     "Test problems for minimax and nonsmooth optimisation: list them, evaluate\n"
                     "one at a point, check their derivatives.");
  c.app.allow_extras();
  c.app.require_subcommand(0, 1);
  c.app.get_help_ptr()->group("options")->description("show this help");
  c.app.set_version_flag("--version", "kinkbench " KINKBENCH_VERSION, "print the version")
      ->group("options");
  c.app.footer("Run 'kinkbench <command> --help' for a command's options.\n");
  // Subcommands would inherit that footer; each sets its own after being added.

  CLI::App* list =
      add_command(c, "list", "the problems, with the objective at the start",
                  "kinkbench list [minimax|nonsmooth [PROBLEM]] [options]",
                  "Lists the problems of one collection or both, with the objective at the\n"
                  "starting point; with PROBLEM (1..25), everything known about that one.");
  add_words(list, c.list.positional);
  add_flag(list, "--json", c.list.json, "print one JSON object");
  list->footer(
      "Columns: n is the n a problem accepts (2+: 2 or more; 10: exactly 10), fmin and\n"
      "stepmax what its set-up gives, then the objective at the start, the best-known\n"
      "optimum f* and the gap between them. --json adds min_n, max_n, best_value,\n"
      "best_point, best_status, unbounded_below and gap_at_start.\n");

  CLI::App* eval =
      add_command(c, "eval", "evaluate a problem at its start or a given point",
                  "kinkbench eval minimax|nonsmooth PROBLEM [options]\n"
                  "       kinkbench eval minimax|nonsmooth PROBLEM --stream [options]",
                  "Evaluates problem PROBLEM (1..25) of a collection at its starting point or at\n"
                  "--x; for the minimax collection the objective (max f_k, or max |f_k| for the\n"
                  "data fits) unless --k chooses an f_k.");
  add_words(eval, c.eval.positional);
  c.n_option =
      add_value(eval, "--n", c.n, "N", "variables (default: the problem's minimum; at most 10000)");
  c.x_option = add_value(eval, "--x", c.x, "V1,V2,...",
                         "the point, n comma-separated numbers (default: the start)");
  c.k_option =
      add_value(eval, "--k", c.k, "K", "minimax: evaluate f_K (default: the objective's k)");
  add_flag(eval, "--gradient", c.eval.gradient, "also print the gradient of the value printed");
  add_flag(eval, "--hessian", c.eval.hessian, "also print its packed Hessian (n <= 2000)");
  c.active_option = add_value(eval, "--active", c.active, "EPS",
                              "also list the pieces active within EPS >= 0 and the\n"
                              "stationarity measure (docs/kinks.md)");
  add_flag(eval, "--all", c.eval.all, "minimax: also print every f_k and the Jacobian, by rows");
  add_flag(eval, "--json", c.eval.json, "print one JSON object (with --stream, one per line)");
  add_flag(eval, "--stream", c.eval.stream,
           "evaluate the points read from standard input, one per line");
  eval->footer(std::string(kNumbersNote) + "\n" + kStreamNote);

  CLI::App* check =
      add_command(c, "check", "compare derivatives with central differences",
                  "kinkbench check [minimax|nonsmooth] [PROBLEM] [options]\n"
                  "       kinkbench check minimax|nonsmooth PROBLEM [--n N] [--x V1,V2,...]",
                  "Compares every gradient with central differences of the value and every packed\n"
                  "Hessian with central differences of the gradient, at three seeded points near\n"
                  "the starting point (or at --x), and prints the largest relative error per\n"
                  "problem. Exits 1 when an error exceeds the problem's tolerance.");
  add_words(check, c.check.positional);
  c.check_n_option = add_value(check, "--n", c.check_n, "N",
                               "one problem: variables (default: its minimum; at most 2000)");
  c.check_x_option = add_value(check, "--x", c.check_x, "V1,V2,...",
                               "one problem: check at this point (n numbers, as eval's --x)");
  add_flag(check, "--json", c.check.json, "print one JSON object");
  check->footer(
      "A point on a kink (where pieces meet) disagrees with central differences by\n"
      "nature: --x is meant for points inside one piece.\n");
}

// CLI11's own wording for the few failures it detects itself, in ours. Its messages name
// our options, but escape them anyway: a word of the user's could be in one.
std::string parse_failure(const CLI::ParseError& e) {
  const std::string what = e.what();
  if (e.get_name() == "ArgumentMismatch") {
    if (const auto at = what.find(" was given a disallowed flag override");
        at != std::string::npos) {
      return "option " + quote("--" + what.substr(0, at)) + " takes no value";
    }
    const auto colon = what.find(':');
    if (colon != std::string::npos) {
      const std::string option = quote(what.substr(0, colon));
      if (what.find(" missing") != std::string::npos) return "option " + option + " needs a value";
      return "option " + option + " is given more than once";
    }
  }
  return escaped(what);
}

// A value option right before another option takes that option as its value.
bool took_an_option(const CLI::Option* option, const std::string& value) {
  return option->count() > 0 && value.size() > 2 && value.starts_with("--");
}

std::string unknown_command(const std::string& word) { return "unknown command " + quote(word); }

int dispatch(Command& c, const Console& io) {
  const auto chosen = c.app.get_subcommands();
  const std::string name = chosen.empty() ? "" : chosen.front()->get_name();
  if (const auto extra = c.app.remaining(); !extra.empty()) {
    const std::string& word = extra.front();
    if (name.empty() && !word.starts_with('-'))
      return usage_error(io.err, "", unknown_command(word));
    return unexpected_argument(io.err, name, word);
  }
  if (name.empty()) return usage_error(io.err, "", "no command given");
  if (const auto extra = chosen.front()->remaining(); !extra.empty()) {
    return unexpected_argument(io.err, name, extra.front());
  }
  if (name == "list") return run_list(io, c.list);
  for (const auto& [option, value] :
       {std::pair{c.n_option, &c.n}, std::pair{c.x_option, &c.x}, std::pair{c.k_option, &c.k},
        std::pair{c.active_option, &c.active}, std::pair{c.check_n_option, &c.check_n},
        std::pair{c.check_x_option, &c.check_x}}) {
    if (took_an_option(option, *value)) {
      return usage_error(io.err, name, "option '" + option->get_name() + "' needs a value");
    }
  }
  if (name == "check") {
    if (c.check_n_option->count() > 0) c.check.n = c.check_n;
    if (c.check_x_option->count() > 0) c.check.x = c.check_x;
    return run_check(io, c.check);
  }
  if (c.n_option->count() > 0) c.eval.n = c.n;
  if (c.x_option->count() > 0) c.eval.x = c.x;
  if (c.k_option->count() > 0) c.eval.k = c.k;
  if (c.active_option->count() > 0) c.eval.active = c.active;
  return run_eval(io, c.eval);
}

// "kinkbench help [COMMAND]" is "kinkbench [COMMAND] --help".
std::vector<std::string> words_of(const std::vector<std::string>& args) {
  std::vector<std::string> words = args;
  if (!words.empty() && words.front() == "help") {
    words.erase(words.begin());
    words.emplace_back("--help");
  }
  return words;
}

// Help for a word that names no command would otherwise be the general help.
bool names_no_command(Command& c, const std::vector<std::string>& words) {
  if (words.size() < 2 || words.front().starts_with('-')) return false;
  const auto& word = words.front();
  return c.app.get_subcommands([&](CLI::App* sub) { return sub->check_name(word); }).empty();
}

// What CLI11 prints for help and the version, on `out`.
int print_exit(const Command& c, const CLI::Error& e, std::FILE* out) {
  std::ostringstream text, ignored;
  const int status = c.app.exit(e, text, ignored);
  const std::string s = text.str();
  std::fwrite(s.data(), 1, s.size(), out);
  return status;
}

int parse_and_run(Command& c, const std::vector<std::string>& args, const Console& io) {
  auto words = words_of(args);
  if (names_no_command(c, words)) return usage_error(io.err, "", unknown_command(words.front()));
  std::reverse(words.begin(), words.end());  // CLI11 takes them from the back
  try {
    c.app.parse(words);
  } catch (const CLI::CallForHelp& e) {
    return print_exit(c, e, io.out);
  } catch (const CLI::CallForVersion& e) {
    return print_exit(c, e, io.out);
  } catch (const CLI::ParseError& e) {
    const auto chosen = c.app.get_subcommands();
    return usage_error(io.err, chosen.empty() ? "" : chosen.front()->get_name(), parse_failure(e));
  }
  return dispatch(c, io);
}

// Output held in the buffer is only written by the flush, and a full disk or /dev/full
// refuses it there: success is only known after it. A write refused earlier leaves the
// error flag and, most likely, its errno.
std::string output_failure(std::FILE* out) {
  const bool flushed = std::fflush(out) == 0;
  const int code = errno;
  if (flushed && !std::ferror(out)) return {};
  return std::string("writing the output failed") +
         (code != 0 ? std::string(": ") + std::strerror(code) : std::string());
}

}  // namespace

int run_command(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
                std::FILE* err) {
  Command c;
  build(c);
  errno = 0;
  const int status = parse_and_run(c, args, {in, out, err});
  // The stream checks every answer as it goes and has said so already.
  if (c.eval.stream && status != kUsageError) return status;
  if (const auto failure = output_failure(out); !failure.empty()) {
    std::fprintf(err, "kinkbench: %s\n", failure.c_str());
    return kOutputFailed;
  }
  return status;
}

}  // namespace kinkbench::tools
