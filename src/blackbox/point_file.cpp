#include "blackbox/point_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kinkbench::blackbox {
namespace {

constexpr int kEnd = -1;    // end of text
constexpr int kError = -2;  // read() failed

// Byte stream over a memory block or a file descriptor refilled through a buffer.
class Source {
 public:
  Source(const char* text, std::size_t size) : data_(text), size_(size) {}
  Source(int fd, char* buffer, std::size_t capacity)
      : data_(buffer), fd_(fd), buffer_(buffer), capacity_(capacity) {}

  // The current byte (0..255), kEnd or kError; sticky once the end or an error is met.
  int peek() {
    if (pos_ == size_ && !refill()) return failed_ ? kError : kEnd;
    return static_cast<unsigned char>(data_[pos_]);
  }
  void bump() { ++pos_; }
  int errno_value() const { return errno_; }

 private:
  bool refill() {
    if (fd_ < 0 || failed_ || ended_) return false;
    for (;;) {
      const ssize_t got = ::read(fd_, buffer_, capacity_);
      if (got > 0) {
        size_ = static_cast<std::size_t>(got);
        pos_ = 0;
        return true;
      }
      if (got == 0) {
        ended_ = true;
        return false;
      }
      if (errno != EINTR) {
        errno_ = errno;
        failed_ = true;
        return false;
      }
    }
  }

  const char* data_;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  int fd_ = -1;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  bool ended_ = false;
  bool failed_ = false;
  int errno_ = 0;
};

bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool ends_line(int c) { return c == '\n' || c == kEnd; }
// A failed read() ends nothing: the item is then reported as unreadable, not taken.
// A carriage return is left to carriage_returns_end_line().
bool ends_item(int c) { return is_blank(c) || c == ',' || c == '/' || ends_line(c); }

// A carriage return is a blank only where the line ends after it (a run of them, as
// CRLF text can carry); anywhere else it is outside the grammar. Passes over the run.
bool carriage_returns_end_line(Source& in) {
  int c = in.peek();
  while (c == '\r') {
    in.bump();
    c = in.peek();
  }
  return ends_line(c);
}

// Whether the item scanned so far ends at the byte at hand.
bool item_ends_here(Source& in) {
  const int c = in.peek();
  return c == '\r' ? carriage_returns_end_line(in) : ends_item(c);
}
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_exponent_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// Decimal number of any length, kept in bounded space: value = 0.D1D2... * 10^point
// (times 10^exponent). Correct rounding to double never needs more than 767
// significant digits and a sticky bit for the rest, so later digits are folded into
// one trailing '1' when any of them is non-zero.
class Decimal {
 public:
  void sign(bool negative) { negative_ = negative; }
  void point() { after_point_ = true; }
  void digit(int c) {
    if (count_ == 0 && c == '0') {
      if (after_point_) --point_;
      return;
    }
    if (count_ < kMaxDigits) {
      digits_[count_++] = static_cast<char>(c);
    } else if (c != '0') {
      sticky_ = true;
    }
    if (!after_point_) ++point_;
  }
  void exponent_sign(bool negative) { exponent_negative_ = negative; }
  void exponent_digit(int c) {
    // Past the cap the value is an infinity or zero whatever follows.
    if (exponent_ < kExponentCap) exponent_ = exponent_ * 10 + (c - '0');
  }
  bool has_significant_digit() const { return count_ > 0; }

  double value() const {
    if (count_ == 0) return negative_ ? -0.0 : 0.0;
    std::int64_t scale = point_ + (exponent_negative_ ? -exponent_ : exponent_);
    if (scale > kScaleClamp) scale = kScaleClamp;
    if (scale < -kScaleClamp) scale = -kScaleClamp;
    char text[kMaxDigits + 32];
    std::size_t at = 0;
    if (negative_) text[at++] = '-';
    text[at++] = '0';
    text[at++] = '.';
    for (int i = 0; i < count_; ++i) text[at++] = digits_[i];
    if (sticky_) text[at++] = '1';
    text[at++] = 'e';
    if (scale < 0) {
      text[at++] = '-';
      scale = -scale;
    }
    char reversed[24];
    int len = 0;
    do {
      reversed[len++] = static_cast<char>('0' + scale % 10);
      scale /= 10;
    } while (scale > 0);
    while (len > 0) text[at++] = reversed[--len];
    text[at] = '\0';
    // Always well-formed and within the double range's reach, in the C locale's form.
    return std::strtod(text, nullptr);
  }

 private:
  static constexpr int kMaxDigits = 800;
  static constexpr std::int64_t kExponentCap = 1'000'000'000'000;
  static constexpr std::int64_t kScaleClamp = 100'000;

  char digits_[kMaxDigits];
  int count_ = 0;
  bool sticky_ = false;
  bool negative_ = false;
  bool after_point_ = false;
  std::int64_t point_ = 0;  // bounded by the item's length
  bool exponent_negative_ = false;
  std::int64_t exponent_ = 0;
};

enum class Item { value, null, bad };

// Scans one item from its first byte (neither blank nor a line end) to the byte that
// ends it, or to the offending byte. On Item::value, *out holds the value.
Item scan_item(Source& in, bool allow_repeat, double* out) {
  Decimal number;
  int c = in.peek();
  const bool signed_item = c == '+' || c == '-';
  if (signed_item) {
    number.sign(c == '-');
    in.bump();
    c = in.peek();
  }
  bool digits = false;
  while (is_digit(c)) {
    number.digit(c);
    digits = true;
    in.bump();
    c = in.peek();
  }
  if (c == '*' && allow_repeat && digits && !signed_item) {
    if (!number.has_significant_digit()) return Item::bad;  // a zero repeat count
    in.bump();
    const int next = in.peek();
    if (next == '\r' || ends_item(next)) return item_ends_here(in) ? Item::null : Item::bad;
    return scan_item(in, false, out);
  }
  if (c == '.') {
    number.point();
    in.bump();
    c = in.peek();
    while (is_digit(c)) {
      number.digit(c);
      digits = true;
      in.bump();
      c = in.peek();
    }
  }
  if (!digits) return Item::bad;
  if (is_exponent_letter(c)) {
    in.bump();
    c = in.peek();
    if (c == '+' || c == '-') {
      number.exponent_sign(c == '-');
      in.bump();
      c = in.peek();
    }
    if (!is_digit(c)) return Item::bad;
    while (is_digit(c)) {
      number.exponent_digit(c);
      in.bump();
      c = in.peek();
    }
  }
  if (!item_ends_here(in)) return Item::bad;
  *out = number.value();
  return Item::value;
}

void skip_line(Source& in) {
  for (int c = in.peek(); c >= 0; c = in.peek()) {
    in.bump();
    if (c == '\n') return;
  }
}

PointResult parse(Source& in, double* x, int n) {
  PointResult result;
  std::int64_t line = 1;
  for (int i = 0; i < n; ++i) {
    result.item = i + 1;
    if (i > 0) {
      skip_line(in);
      ++line;
    }
    int c = in.peek();
    for (;;) {
      while (is_blank(c)) {
        in.bump();
        c = in.peek();
      }
      if (c == '\r') {
        if (!carriage_returns_end_line(in) && in.peek() != kError) {
          result.line = line;
          result.status = PointStatus::not_a_number;
          return result;
        }
        c = in.peek();
      }
      if (c != '\n') break;
      in.bump();
      ++line;
      c = in.peek();
    }
    result.line = line;
    if (c == kError) {
      result.status = PointStatus::read_failed;
      result.errno_value = in.errno_value();
      return result;
    }
    if (c == kEnd) {
      result.status = PointStatus::end_of_file;
      return result;
    }
    if (c == ',' || c == '/') continue;  // a null or an end of the line's list
    double value = 0;
    switch (scan_item(in, true, &value)) {
      case Item::value:
        x[i] = value;
        break;
      case Item::null:
        break;
      case Item::bad:
        // A failed read() inside the item is the cause, not the item's form.
        if (in.peek() == kError) {
          result.status = PointStatus::read_failed;
          result.errno_value = in.errno_value();
        } else {
          result.status = PointStatus::not_a_number;
        }
        return result;
    }
  }
  return PointResult{};
}

}  // namespace

PointResult parse_point(const char* text, std::size_t size, double* x, int n) {
  Source in(text, size);
  return parse(in, x, n);
}

PointResult read_point_fd(int fd, double* x, int n, char* buffer, std::size_t capacity) {
  Source in(fd, buffer, capacity);
  return parse(in, x, n);
}

bool parse_value(const char* text, std::size_t size, double* out) {
  Source in(text, size);
  double value = 0;
  if (scan_item(in, false, &value) != Item::value || in.peek() != kEnd) return false;
  *out = value;
  return true;
}

PointResult read_point_file(const char* path, double* x, int n) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    PointResult result;
    result.status = PointStatus::open_failed;
    result.errno_value = errno;
    return result;
  }
  // Large enough that an ordinary point file takes a single read().
  static char buffer[1 << 16];
  const PointResult result = read_point_fd(fd, x, n, buffer, sizeof buffer);
  ::close(fd);  // nothing was written through it, so its result tells nothing
  return result;
}

}  // namespace kinkbench::blackbox
