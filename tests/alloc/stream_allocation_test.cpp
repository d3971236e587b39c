// The point stream answers each line in buffers it reuses: once they have grown, a
// client's millions of evaluations cost no allocation. This binary replaces the global
// allocation functions and counts every allocation made while lines are answered.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tools/stream.hpp"

namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};

void* counted(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(StreamAllocation, AnsweringAPointAllocatesNothingOnceBuffersHaveGrown) {
  g_counting = true;
  { std::vector<double> seen(3); }
  g_counting = false;
  ASSERT_EQ(g_allocations.load(), 1);  // the counter does count
  using kinkbench::tools::Collection;
  const struct {
    kinkbench::tools::StreamSetup setup;
    std::vector<std::string> lines;
  } cases[] = {
      {{Collection::minimax, 7, 0, 0, true, false}, {"0.5,-1,2", "1e300 -inf nan", "1 2 3"}},
      {{Collection::minimax, 25, 0, 3, true, true}, {"1 2 3 4 5 6 7 8 9 10 11"}},
      {{Collection::nonsmooth, 21, 0, 0, true, false}, {""}},
      {{Collection::nonsmooth, 11, 0, 0, true, true}, {"0.1 -0.2 0.3 4e-320\r"}},
  };
  for (auto c : cases) {
    if (c.setup.problem == 21) {  // 48 coordinates on one line
      for (int i = 0; i < 48; ++i) c.lines[0] += i > 0 ? ", -2.5e1" : "0";
    }
    kinkbench::tools::PointStream stream(c.setup);
    ASSERT_EQ(stream.error(), "");
    std::string out;
    for (const auto& line : c.lines) stream.answer(line, 1000099, out);  // grows the buffers
    out.clear();
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < 100; ++i) {
      for (const auto& line : c.lines) {
        out.clear();
        stream.answer(line, 1000000 + i, out);
      }
    }
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0) << c.lines[0] << " -> " << out;
  }
}
