// The point-file reader on arbitrary bytes and n. Properties: no access outside x(1..n);
// on success the point, written back with 17 digits, reads back to the same bits; on
// failure the elements from the failing one on keep the caller's values; and reading the
// same bytes from a descriptor through a small buffer gives exactly what the in-memory
// reader gives.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "blackbox/point_file.hpp"
#include "guarded.hpp"

namespace bb = kinkbench::blackbox;

namespace {

double initial(int i) { return 1000.0 + i; }

void fill(kbfuzz::Guarded& x, double offset) {
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = initial(static_cast<int>(i)) + offset;
}

// Exactly re-readable text: 17 significant digits, infinities as out-of-range numbers.
std::string render(kbfuzz::Guarded& x) {
  std::string text;
  char item[40];
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::isinf(x[i])) {
      std::snprintf(item, sizeof item, "%s1e999", x[i] < 0 ? "-" : "");
    } else {
      std::snprintf(item, sizeof item, "%.17g", x[i]);
    }
    text += item;
    text += '\n';
  }
  return text;
}

bool same_result(const bb::PointResult& a, const bb::PointResult& b) {
  return a.status == b.status && a.item == b.item && a.line == b.line;
}

// One descriptor for the whole run, rewritten for each input.
int memory_file(const std::uint8_t* data, std::size_t size) {
  static const int fd = ::memfd_create("point", 0);
  kbfuzz::require(fd >= 0, "memfd_create");
  kbfuzz::require(::ftruncate(fd, 0) == 0, "ftruncate");
  kbfuzz::require(::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "pwrite");
  kbfuzz::require(::lseek(fd, 0, SEEK_SET) == 0, "lseek");
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int n = data[0] % 36 - 2;  // a few non-positive n too
  const std::size_t capacity = 1 + data[1] % 24;
  data += 2;
  size -= 2;
  const std::size_t length = n > 0 ? static_cast<std::size_t>(n) : 0;
  const char* text = reinterpret_cast<const char*>(data);

  kbfuzz::Guarded x(length, 0);
  fill(x, 0);
  const bb::PointResult r = bb::parse_point(text, size, x.data(), n);
  kbfuzz::require(x.intact(), "the reader wrote outside x(1..n)");

  kbfuzz::Guarded y(length, 0);
  fill(y, 0);
  char buffer[24];
  const bb::PointResult from_fd =
      bb::read_point_fd(memory_file(data, size), y.data(), n, buffer, capacity);
  kbfuzz::require(y.intact(), "the descriptor reader wrote outside x(1..n)");
  kbfuzz::require(same_result(r, from_fd), "descriptor and memory readers disagree on status");
  for (std::size_t i = 0; i < length; ++i) {
    kbfuzz::require(kbfuzz::same_bits(x[i], y[i]), "descriptor and memory readers disagree on x");
  }

  if (r.status != bb::PointStatus::ok) {
    kbfuzz::require(
        r.status == bb::PointStatus::end_of_file || r.status == bb::PointStatus::not_a_number,
        "a memory read can only end early or meet a non-number");
    kbfuzz::require(r.item >= 1 && r.item <= n && r.line >= 1, "failure without its place");
    for (int i = r.item - 1; i < n; ++i) {
      kbfuzz::require(kbfuzz::same_bits(x[static_cast<std::size_t>(i)], initial(i)),
                      "a failed read changed an element at or after the failing one");
    }
    return 0;
  }
  for (std::size_t i = 0; i < length; ++i) kbfuzz::require(!std::isnan(x[i]), "NaN accepted");

  const std::string again = render(x);
  kbfuzz::Guarded z(length, 0);
  fill(z, 0.5);
  const bb::PointResult second = bb::parse_point(again.data(), again.size(), z.data(), n);
  kbfuzz::require(second.status == bb::PointStatus::ok, "a written-back point was refused");
  for (std::size_t i = 0; i < length; ++i) {
    kbfuzz::require(kbfuzz::same_bits(x[i], z[i]), "a written-back point read back differently");
  }
  return 0;
}
