#include "tools/stream.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
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

// The text output's form: what --x reads back to the same double, printf's "%.17g"
// to the character (to_chars with a precision is specified as printf formats), without
// printf's cost.
void append_text_number(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += non_finite_text(v);
    return;
  }
  char buf[32];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17).ptr);
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

namespace {

// Standard input read from its descriptor, so that the stream can tell when no more input
// is waiting: only then are the answers flushed. A client in lock-step still gets each
// answer at once; a pipelined one gets all the answers to what it has sent in one write
// instead of one write per line. Lines are handed out where they lie in the read buffer;
// only one that spans two reads is copied, and of that, as for_each_line() keeps, at most
// kMaxStreamLine + 2 bytes.
// `flush` sends the answers so far and returns false when that failed.
template <class Flush>
class WaitingInput {
 public:
  WaitingInput(int fd, Flush flush) : fd_(fd), flush_(flush), buffer_(std::size_t{1} << 16) {}

  // take(line, number) for every line, as for_each_line() splits them; take returns false
  // to stop.
  template <class Take>
  void lines(std::string& spill, Take take) {
    long long number = 0;
    bool spilled = false;  // the line so far is in `spill`
    spill.clear();
    for (;;) {
      if (at_ == end_ && !refill()) {
        if (spilled) take(std::string_view(spill), ++number);
        return;
      }
      const char* from = buffer_.data() + at_;
      const std::size_t left = end_ - at_;
      const auto* newline = static_cast<const char*>(std::memchr(from, '\n', left));
      const std::size_t size = newline ? static_cast<std::size_t>(newline - from) : left;
      at_ += newline ? size + 1 : size;
      if (spilled || !newline) {
        keep(spill, {from, size});
        spilled = !newline;
        if (newline) {
          if (!take(std::string_view(spill), ++number)) return;
          spill.clear();
        }
        continue;
      }
      if (!take(std::string_view(from, std::min(size, kMaxStreamLine + 2)), ++number)) return;
    }
  }

  // Why reading stopped the input early, or an empty string.
  const std::string& failure() const { return failure_; }

 private:
  static void keep(std::string& spill, std::string_view part) {
    const std::size_t room = kMaxStreamLine + 2 - std::min(spill.size(), kMaxStreamLine + 2);
    spill.append(part.substr(0, room));
  }

  // A read that came back short had drained the input then, as it does for a client in
  // lock-step: flush without asking again (no extra system call per line). After a full
  // read more is likely waiting, and poll() says whether the answers can wait too.
  bool refill() {
    if ((!full_ || !waiting()) && !flush_()) return false;
    for (;;) {
      const ssize_t got = read(fd_, buffer_.data(), buffer_.size());
      if (got > 0) {
        at_ = 0;
        end_ = static_cast<std::size_t>(got);
        full_ = end_ == buffer_.size();
        return true;
      }
      if (got == 0) return false;
      if (errno == EINTR) continue;
      failure_ = std::string("reading the points failed: ") + std::strerror(errno);
      return false;
    }
  }

  bool waiting() const {
    pollfd ready{fd_, POLLIN, 0};
    return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;
  }

  int fd_;
  Flush flush_;
  std::vector<char> buffer_;
  std::size_t at_ = 0, end_ = 0;
  bool full_ = false;  // the last read filled the buffer
  std::string failure_;
};

}  // namespace

std::string PointStream::serve(std::FILE* in, std::FILE* out) {
  std::string failure;
  const auto write_failed = [&] {
    failure = std::string("writing the answers failed: ") + std::strerror(errno);
    return false;
  };
  const int fd = fileno(in);
  if (fd < 0) {
    // A stream without a descriptor (a memory file): nothing to wait on, so each answer
    // is flushed as it is written.
    for_each_line(
        line_, [in] { return getc_unlocked(in); },
        [&](std::string_view text, long long number) {
          out_.clear();
          answer(text, number, out_);
          if (fwrite_unlocked(out_.data(), 1, out_.size(), out) != out_.size()) {
            return write_failed();
          }
          return std::fflush(out) == 0 || write_failed();
        });
    if (failure.empty() && std::ferror(in)) {
      failure = std::string("reading the points failed: ") + std::strerror(errno);
    }
    return failure;
  }
  // Answers gather in out_ and go out in writes of up to kOutput bytes, or of what there
  // is whenever the input has nothing more waiting.
  constexpr std::size_t kOutput = std::size_t{1} << 16;
  out_.clear();
  const auto send = [&] {
    const bool sent = fwrite_unlocked(out_.data(), 1, out_.size(), out) == out_.size();
    out_.clear();
    return sent && std::fflush(out) == 0;
  };
  WaitingInput input(fd, [&] { return send() || write_failed(); });
  input.lines(line_, [&](std::string_view text, long long number) {
    answer(text, number, out_);
    return out_.size() < kOutput || send() || write_failed();
  });
  if (failure.empty()) failure = input.failure();
  if (failure.empty() && !send()) write_failed();
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
