// Replaces the global allocation functions with ones that count, for a test binary of its
// own: include it in exactly one source file of that binary.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace kbtest {

inline std::atomic<long> g_allocations{0};
inline std::atomic<bool> g_counting{false};

inline void* counted(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

// Counts the allocations the callable makes.
template <class F>
long allocations_in(F&& f) {
  g_allocations = 0;
  g_counting = true;
  f();
  g_counting = false;
  return g_allocations.load();
}

}  // namespace kbtest

void* operator new(std::size_t size) { return kbtest::counted(size); }
void* operator new[](std::size_t size) { return kbtest::counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
