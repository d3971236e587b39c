// The evaluation stream (PointStream::serve_text) on arbitrary input text, for a set-up
// taken from the first four bytes: collection, problem (0..26, so failed set-ups too),
// n (0 for the problem's minimum, else 1..40), k (0..m+1), gradient and json.
// Properties: one answer line per input line, where input lines end at '\n' and a last
// line without one counts (empty input: no line); answer L is either "error line L: ..."
// (json: {"line":L,"error":"..."}) or the value, for the minimax collection then k in
// 1..m, then with --gradient n gradient entries, every number one that --x reads back
// (json: {"line":L,"value":V[,"k":K][,"gradient":[n numbers]]}); every answer is
// printable ASCII; a failed set-up answers every line with its error.
#include <cstdint>
#include <string>
#include <string_view>

#include "guarded.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "tools/arguments.hpp"
#include "tools/stream.hpp"

namespace kt = kinkbench::tools;

namespace {

std::size_t input_lines(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += c == '\n';
  if (!text.empty() && !text.ends_with('\n')) ++count;
  return count;
}

bool printable(std::string_view text) {
  for (const char c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

// Splits at single blanks (text) or commas (json arrays); empty fields are kept, so a
// doubled separator shows up as an empty word.
std::vector<std::string_view> fields(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  for (std::size_t at = 0;;) {
    const std::size_t next = text.find(separator, at);
    out.push_back(text.substr(at, next - at));
    if (next == std::string_view::npos) return out;
    at = next + 1;
  }
}

bool number(std::string_view word) {
  double v = 0;
  return kt::number_word(word, v);
}

// A JSON number as the stream writes it, or one of the three non-finite strings.
bool json_number(std::string_view word) {
  if (word == "\"inf\"" || word == "\"-inf\"" || word == "\"nan\"") return true;
  return word.find_first_of(".e") != std::string_view::npos && number(word);
}

bool whole(std::string_view word, long long low, long long high) {
  long long v = 0;
  for (const char c : word) {
    if (c < '0' || c > '9' || v > high) return false;
    v = v * 10 + (c - '0');
  }
  return !word.empty() && v >= low && v <= high && (word.size() == 1 || word[0] != '0');
}

struct Expect {
  std::size_t numbers;  // after the value: k, then the gradient
  bool minimax;
  int m;
  bool json;
};

void check_answer(std::string_view answer, long long number_of_line, const Expect& e) {
  const std::string l = std::to_string(number_of_line);
  kbfuzz::require(printable(answer), "an answer is not printable ASCII");
  if (e.json) {
    const std::string head = "{\"line\":" + l + ",";
    kbfuzz::require(answer.starts_with(head) && answer.ends_with("}"), "json answer: wrong line");
    std::string_view rest = answer.substr(head.size(), answer.size() - head.size() - 1);
    if (rest.starts_with("\"error\":\"")) {
      kbfuzz::require(rest.ends_with("\"") && rest.size() > 10, "json error: not a string");
      return;
    }
    kbfuzz::require(rest.starts_with("\"value\":"), "json answer: no value");
    rest.remove_prefix(8);
    const std::size_t end = rest.find(',');
    kbfuzz::require(json_number(rest.substr(0, end)), "json answer: value not a number");
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (e.minimax) {
      kbfuzz::require(rest.starts_with("\"k\":"), "json answer: no k");
      rest.remove_prefix(4);
      const std::size_t k_end = rest.find(',');
      kbfuzz::require(whole(rest.substr(0, k_end), 1, e.m), "json answer: k outside 1..m");
      rest = k_end == std::string_view::npos ? std::string_view() : rest.substr(k_end + 1);
    }
    const std::size_t gradient = e.numbers - (e.minimax ? 1 : 0);
    if (gradient == 0) {
      kbfuzz::require(rest.empty(), "json answer: fields after the value");
      return;
    }
    kbfuzz::require(rest.starts_with("\"gradient\":[") && rest.ends_with("]"),
                    "json answer: no gradient");
    const auto entries = fields(rest.substr(12, rest.size() - 13), ',');
    kbfuzz::require(entries.size() == gradient, "json answer: gradient of the wrong size");
    for (const auto word : entries) kbfuzz::require(json_number(word), "json gradient: NaN?");
    return;
  }
  const std::string error = "error line " + l + ": ";
  if (answer.starts_with("error line ")) {
    kbfuzz::require(answer.starts_with(error) && answer.size() > error.size(),
                    "error answer: wrong line number");
    return;
  }
  const auto words = fields(answer, ' ');
  kbfuzz::require(words.size() == 1 + e.numbers, "answer: wrong number of fields");
  kbfuzz::require(number(words[0]), "answer: value does not read back");
  for (std::size_t i = 1; i < words.size(); ++i) {
    const bool ok = e.minimax && i == 1 ? whole(words[i], 1, e.m) : number(words[i]);
    kbfuzz::require(ok, "answer: a field does not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  kt::StreamSetup setup;
  setup.collection = data[0] & 1 ? kt::Collection::nonsmooth : kt::Collection::minimax;
  setup.gradient = (data[0] & 2) != 0;
  setup.json = (data[0] & 4) != 0;
  const bool choose_k = (data[0] & 8) != 0;
  setup.problem = data[1] % 27;
  setup.n = data[2] % 41;
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);

  const bool minimax = setup.collection == kt::Collection::minimax;
  int m = 0;
  int n = setup.n;
  if (setup.problem >= 1 && setup.problem <= 25) {
    const auto row = static_cast<std::size_t>(setup.problem - 1);
    m = kinkbench::minimax_problems()[row].m;
    const int min_n = minimax ? kinkbench::minimax_problems()[row].min_n
                              : kinkbench::nonsmooth_problems()[row].min_n;
    if (n == 0) n = min_n;
  }
  if (choose_k) setup.k = data[3] % (m + 2);

  kt::PointStream stream(setup);
  const std::string answers = stream.serve_text(text);
  const auto lines = fields(answers, '\n');
  // fields() leaves an empty last field after the final '\n'.
  kbfuzz::require(answers.empty() || answers.ends_with('\n'), "answers do not end a line");
  const std::size_t count = answers.empty() ? 0 : lines.size() - 1;
  kbfuzz::require(count == input_lines(text), "not one answer per input line");

  const std::size_t gradient = setup.gradient ? static_cast<std::size_t>(n) : 0;
  const Expect e{(minimax ? 1u : 0u) + gradient, minimax, m, setup.json};
  for (std::size_t i = 0; i < count; ++i) {
    const auto number_of_line = static_cast<long long>(i + 1);
    if (!stream.error().empty()) {
      const std::string error = setup.json
                                    ? "{\"line\":" + std::to_string(number_of_line) + ",\"error\":"
                                    : "error line " + std::to_string(number_of_line) + ": ";
      kbfuzz::require(lines[i].starts_with(error), "failed set-up: an answer is not its error");
      continue;
    }
    check_answer(lines[i], number_of_line, e);
  }
  return 0;
}
