// A call count that any number of threads may add to at once and that copies as a plain
// number, so the problem objects that hold one stay copyable and movable (std::atomic alone
// is neither).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kinkbench::detail {

class Tally {
 public:
  Tally() = default;
  Tally(const Tally& other) noexcept : n_(other.get()) {}
  Tally& operator=(const Tally& other) noexcept {
    n_.store(other.get(), std::memory_order_relaxed);
    return *this;
  }
  ~Tally() = default;

  // Relaxed: a count orders no other memory, and concurrent adds are still all kept.
  void add() noexcept { n_.fetch_add(1, std::memory_order_relaxed); }
  std::int64_t get() const noexcept { return n_.load(std::memory_order_relaxed); }
  // Zero, returning what was there: an add racing with it lands in one or the other.
  std::int64_t take() noexcept { return n_.exchange(0, std::memory_order_relaxed); }

 private:
  // A lock would make evaluation block and could need memory.
  static_assert(std::atomic<std::int64_t>::is_always_lock_free);
  std::atomic<std::int64_t> n_{0};
};

// Threads evaluating one object all write its counts; on a cache line of their own, they
// do not also evict the problem's data from the other threads' caches.
inline constexpr std::size_t kTallyAlignment = 64;

}  // namespace kinkbench::detail
