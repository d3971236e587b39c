// The point stream answers each line in buffers it reuses: once they have grown, a
// client's millions of evaluations cost no allocation. This binary replaces the global
// allocation functions and counts every allocation made while lines are answered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counting_new.hpp"
#include "tools/stream.hpp"

TEST(StreamAllocation, AnsweringAPointAllocatesNothingOnceBuffersHaveGrown) {
  ASSERT_EQ(kbtest::allocations_in([] { std::vector<double> seen(3); }), 1);  // it does count
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
    const long allocations = kbtest::allocations_in([&] {
      for (int i = 0; i < 100; ++i) {
        for (const auto& line : c.lines) {
          out.clear();
          stream.answer(line, 1000000 + i, out);
        }
      }
    });
    EXPECT_EQ(allocations, 0) << c.lines[0] << " -> " << out;
  }
}
