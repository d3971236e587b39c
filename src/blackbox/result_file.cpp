#include "blackbox/result_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kinkbench::blackbox {
namespace {

void right_align(const char* text, std::size_t len, char* out) {
  const std::size_t pad = kResultWidth - len;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text, len);
}

}  // namespace

void format_e15_6(double v, char* out) {
  if (std::isnan(v)) return right_align("NaN", 3, out);
  const bool negative = std::signbit(v);
  if (std::isinf(v)) {
    return negative ? right_align("-Infinity", 9, out) : right_align("Infinity", 8, out);
  }
  // printf rounds the exact binary value correctly (ties to even), which also
  // carries into the exponent: 9.9999996 gives "1.00000e+01".
  char digits[32];
  int exponent = 0;
  if (v == 0) {
    std::memcpy(digits, "000000", 6);
  } else {
    char sci[32];
    std::snprintf(sci, sizeof sci, "%.5e", std::fabs(v));  // d.ddddde[+-]xx[x]
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, 5);
    exponent = std::atoi(sci + 8) + 1;  // 0.dddddd instead of d.ddddd
  }
  char text[16];
  std::size_t len = 0;
  if (negative) text[len++] = '-';
  text[len++] = '0';
  text[len++] = '.';
  std::memcpy(text + len, digits, 6);
  len += 6;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude <= 99) text[len++] = 'E';
  text[len++] = exponent < 0 ? '-' : '+';
  if (magnitude > 99) text[len++] = static_cast<char>('0' + magnitude / 100);
  text[len++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[len++] = static_cast<char>('0' + magnitude % 10);
  right_align(text, len, out);
}

WriteResult write_result_file(const char* path, double v) {
  char line[kResultWidth + 1];
  format_e15_6(v, line);
  line[kResultWidth] = '\n';
  WriteResult result;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    result.status = WriteStatus::create_failed;
    result.errno_value = errno;
    return result;
  }
  std::size_t done = 0;
  while (done < sizeof line) {
    const ssize_t put = ::write(fd, line + done, sizeof line - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      result.status = WriteStatus::write_failed;
      result.errno_value = put < 0 ? errno : EIO;
      ::close(fd);
      return result;
    }
    done += static_cast<std::size_t>(put);
  }
  if (::close(fd) != 0) {
    result.status = WriteStatus::close_failed;
    result.errno_value = errno;
  }
  return result;
}

}  // namespace kinkbench::blackbox
