// Shared by the fuzz targets: arrays with guard zones, and a failure that stops the run.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define KBFUZZ_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define KBFUZZ_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#endif
#endif
#ifndef KBFUZZ_POISON
#define KBFUZZ_POISON(p, n) ((void)(p), (void)(n))
#define KBFUZZ_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace kbfuzz {

// A property broke: say which, and abort so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

inline void require(bool ok, const char* what) {
  if (!ok) fail(what);
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// `size` doubles between two guard zones. The zones hold a fill pattern and, under
// AddressSanitizer, are poisoned too, so a read of them is reported at once and a write
// is caught either by the sanitizer or by intact().
class Guarded {
 public:
  static constexpr std::size_t kGuard = 16;

  Guarded(std::size_t size, double fill) : size_(size), block_(size + 2 * kGuard, fill) {
    for (std::size_t i = 0; i < kGuard; ++i) {
      block_[i] = kPattern;
      block_[kGuard + size + i] = kPattern;
    }
    KBFUZZ_POISON(block_.data(), kGuard * sizeof(double));
    KBFUZZ_POISON(block_.data() + kGuard + size, kGuard * sizeof(double));
  }
  ~Guarded() { KBFUZZ_UNPOISON(block_.data(), block_.size() * sizeof(double)); }
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  double* data() { return block_.data() + kGuard; }
  std::size_t size() const { return size_; }
  double& operator[](std::size_t i) { return block_[kGuard + i]; }

  bool intact() {
    KBFUZZ_UNPOISON(block_.data(), block_.size() * sizeof(double));
    bool ok = true;
    for (std::size_t i = 0; i < kGuard; ++i) {
      ok = ok && same_bits(block_[i], kPattern) && same_bits(block_[kGuard + size_ + i], kPattern);
    }
    KBFUZZ_POISON(block_.data(), kGuard * sizeof(double));
    KBFUZZ_POISON(block_.data() + kGuard + size_, kGuard * sizeof(double));
    return ok;
  }

 private:
  static constexpr double kPattern = -7.25e-300;
  std::size_t size_;
  std::vector<double> block_;
};

}  // namespace kbfuzz
