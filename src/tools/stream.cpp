#include "tools/stream.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kinkbench::tools {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

const char* non_finite_text(double v) {
  if (std::isnan(v)) return "nan";
  return v > 0 ? "inf" : "-inf";
}

// The text output's form: what --x reads back to the same double.
void append_text_number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += non_finite_text(v);
    return;
  }
  char buf[32];
  const int size = std::snprintf(buf, sizeof buf, "%.17g", v);
  out.append(buf, static_cast<size_t>(size));
}

// The shortest text that reads back to the same double, as the command's other JSON
// writes it: a whole number keeps a ".0".
void append_json_number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += '"';
    out += non_finite_text(v);
    out += '"';
    return;
  }
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  out.append(buf, end);
  if (std::string_view(buf, static_cast<size_t>(end - buf)).find_first_of(".en") ==
      std::string_view::npos) {
    out += ".0";
  }
}

void append_integer(std::string& out, long long v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A word from the input, made safe to show on one line: at most 32 bytes of it, and
// anything but printable ASCII as '?'.
void append_quoted(std::string& out, std::string_view word) {
  constexpr size_t kShown = 32;
  out += '\'';
  for (size_t i = 0; i < word.size() && i < kShown; ++i) {
    out += word[i] < ' ' || word[i] > '~' ? '?' : word[i];
  }
  if (word.size() > kShown) out += "...";
  out += '\'';
}

// Printable ASCII by now; only the quote and the backslash need escaping.
void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

}  // namespace

PointStream::PointStream(const StreamSetup& setup) : setup_(setup) {
  if (setup.problem < 1 || setup.problem > 25) {
    error_ = "unknown problem " + std::to_string(setup.problem) + " (1..25)";
    return;
  }
  const auto row = static_cast<size_t>(setup.problem - 1);
  if (setup_.n == 0) {
    setup_.n = setup.collection == Collection::minimax ? minimax_problems()[row].min_n
                                                       : nonsmooth_problems()[row].min_n;
  }
  if (setup_.n < 1 || setup_.n > kMaxN) {
    error_ =
        "n = " + std::to_string(setup_.n) + " is out of range (1.." + std::to_string(kMaxN) + ")";
    return;
  }
  if (setup.collection == Collection::minimax) {
    auto p = MinimaxProblem::create(setup.problem, setup_.n, minimax_problems()[row].m);
    if (!p) {
      error_ = p.error().message;
      return;
    }
    if (setup.k < 0 || setup.k > p->m()) {
      error_ = "k must be 1.." + std::to_string(p->m()) + ", got " + std::to_string(setup.k);
      return;
    }
    minimax_ = std::move(p).value();
  } else {
    if (setup.k != 0) {
      error_ = "k applies to the minimax collection";
      return;
    }
    auto p = NonsmoothProblem::create(setup.problem, setup_.n);
    if (!p) {
      error_ = p.error().message;
      return;
    }
    nonsmooth_ = std::move(p).value();
  }
  const auto n = static_cast<size_t>(setup_.n);
  x_.assign(n, 0.0);
  gradient_.assign(setup.gradient ? n : 0, 0.0);
}

// Reads the coordinates into x_; on failure says why in `why`.
bool PointStream::parse(std::string_view line, std::string& why) {
  const size_t n = x_.size();
  size_t count = 0;
  size_t at = 0;
  const auto skip_blanks = [&] {
    while (at < line.size() && blank(line[at])) ++at;
  };
  skip_blanks();
  while (at < line.size()) {
    const size_t first = at;
    while (at < line.size() && !blank(line[at]) && line[at] != ',') ++at;
    const std::string_view word = line.substr(first, at - first);
    ++count;
    if (word.empty()) {
      why = "coordinate " + std::to_string(count) + " is empty";
      return false;
    }
    double v = 0;
    if (!number_word(word, v)) {
      why.clear();
      append_quoted(why, word);
      why += " is not a number (coordinate " + std::to_string(count) + ")";
      return false;
    }
    if (count <= n) x_[count - 1] = v;
    skip_blanks();
    if (at < line.size() && line[at] == ',') {
      ++at;
      skip_blanks();
      if (at == line.size()) {
        why = "coordinate " + std::to_string(count + 1) + " is empty";
        return false;
      }
    }
  }
  if (count != n) {
    why = "expected " + std::to_string(n) + (n == 1 ? " coordinate" : " coordinates") + ", got " +
          std::to_string(count);
    return false;
  }
  return true;
}

// The value on the line, and with --gradient its gradient: for max |f_k| that of |f_k|.
void PointStream::evaluate() {
  if (nonsmooth_) {
    nonsmooth_->value(x_, value_);
    if (setup_.gradient) nonsmooth_->gradient(x_, gradient_);
    return;
  }
  bool negate = false;
  if (setup_.k != 0) {
    k_ = setup_.k;
    minimax_->value(k_, x_, value_);
  } else {
    const auto objective = minimax_->objective(x_);
    value_ = objective.value;
    k_ = objective.k;
    if (setup_.gradient && minimax_->itype() == 0) {
      double fk = 0;
      minimax_->value(k_, x_, fk);
      negate = fk < 0;
    }
  }
  if (!setup_.gradient) return;
  minimax_->gradient(k_, x_, gradient_);
  if (negate) {
    for (double& g : gradient_) g = -g;
  }
}

void PointStream::answer(std::string_view line, long long number, std::string& out) {
  const bool json = setup_.json;
  if (line.ends_with('\r')) line.remove_suffix(1);
  std::string& why = why_;
  bool ok = error_.empty();
  if (!ok) {
    why = error_;
  } else if (line.size() > kMaxStreamLine) {
    why = "longer than " + std::to_string(kMaxStreamLine) + " bytes";
    ok = false;
  } else {
    ok = parse(line, why);
  }
  if (!ok) {
    if (json) {
      out += "{\"line\":";
      append_integer(out, number);
      out += ",\"error\":";
      append_json_string(out, why);
      out += "}\n";
    } else {
      out += "error line ";
      append_integer(out, number);
      out += ": ";
      out += why;
      out += '\n';
    }
    return;
  }
  evaluate();
  if (json) {
    out += "{\"line\":";
    append_integer(out, number);
    out += ",\"value\":";
    append_json_number(out, value_);
    if (minimax_) {
      out += ",\"k\":";
      append_integer(out, k_);
    }
    if (setup_.gradient) {
      out += ",\"gradient\":[";
      for (size_t i = 0; i < gradient_.size(); ++i) {
        if (i > 0) out += ',';
        append_json_number(out, gradient_[i]);
      }
      out += ']';
    }
    out += "}\n";
    return;
  }
  append_text_number(out, value_);
  if (minimax_) {
    out += ' ';
    append_integer(out, k_);
  }
  for (const double g : gradient_) {
    out += ' ';
    append_text_number(out, g);
  }
  out += '\n';
}

namespace {

// Splits what next() yields (a byte, or EOF) into lines and hands each with its number to
// take(), which returns false to stop. Of a longer line kMaxStreamLine + 2 bytes are
// kept: even without a carriage return it is then too long.
template <class Next, class Take>
void for_each_line(std::string& line, Next next, Take take) {
  long long number = 0;
  for (;;) {
    line.clear();
    int c = next();
    if (c == EOF) return;
    while (c != EOF && c != '\n') {
      if (line.size() < kMaxStreamLine + 2) line += static_cast<char>(c);
      c = next();
    }
    if (!take(line, ++number)) return;
    if (c == EOF) return;
  }
}

}  // namespace

std::string PointStream::serve(std::FILE* in, std::FILE* out) {
  std::string failure;
  for_each_line(
      line_, [in] { return getc_unlocked(in); },
      [&](std::string_view text, long long number) {
        out_.clear();
        answer(text, number, out_);
        if (std::fwrite(out_.data(), 1, out_.size(), out) != out_.size() || std::fflush(out) != 0) {
          failure = std::string("writing the answers failed: ") + std::strerror(errno);
          return false;
        }
        return true;
      });
  if (failure.empty() && std::ferror(in)) {
    failure = std::string("reading the points failed: ") + std::strerror(errno);
  }
  return failure;
}

std::string PointStream::serve_text(std::string_view text) {
  std::string result;
  size_t at = 0;
  for_each_line(
      line_,
      [&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; },
      [&](std::string_view one, long long number) {
        answer(one, number, result);
        return true;
      });
  return result;
}

}  // namespace kinkbench::tools
