// The C++ API's create with arbitrary arguments. Properties: a set-up is refused exactly
// when the collection's table says so, with the matching code and a one-line message; an
// accepted object reports what it was given (the number mapped to 1..25) and evaluates at
// its start into exactly sized buffers; outputs one entry short are refused untouched.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "guarded.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

// create() allocates the starting point, n doubles; past this n only the refusal
// paths are exercised.
constexpr int kLargestN = 4096;
// Above this n the Hessian (n(n+1)/2 entries) is not evaluated, to keep runs fast.
constexpr int kLargestEvaluatedN = 64;

int effective(int number) { return number >= 1 && number <= 25 ? number : 1; }

int pick_int(FuzzedDataProvider& in, int low, int high) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return in.ConsumeIntegral<int>();
    case 1:
      return in.ConsumeBool() ? INT_MIN : INT_MAX;
    default:
      return in.ConsumeIntegralInRange(low, high);
  }
}

void check_message(const kinkbench::SetupError& e) {
  kbfuzz::require(!e.message.empty() && e.message.find('\n') == std::string::npos,
                  "error message is not one line");
}

std::size_t packed(int n) {
  return static_cast<std::size_t>(n) * static_cast<std::size_t>(n + 1) / 2;
}

template <class Problem, class Eval>
void check_buffers(const Problem& p, Eval&& eval) {
  const auto size = static_cast<std::size_t>(p.n());
  kbfuzz::Guarded g(size, 0), h(packed(p.n()), 0);
  kbfuzz::require(
      eval(p.start(), std::span<double>(g.data(), size), std::span<double>(h.data(), h.size())),
      "exact buffers refused");
  kbfuzz::require(g.intact() && h.intact(), "evaluation wrote past its buffers");
  if (size == 0) return;
  constexpr double kUntouched = 3.5;
  kbfuzz::Guarded short_g(size - 1, kUntouched), short_h(packed(p.n()) - 1, kUntouched);
  const bool gradient_taken = eval(p.start(), std::span<double>(short_g.data(), size - 1),
                                   std::span<double>(h.data(), h.size()));
  const bool hessian_taken = eval(p.start(), std::span<double>(g.data(), size),
                                  std::span<double>(short_h.data(), short_h.size()));
  kbfuzz::require(!gradient_taken && !hessian_taken, "a short output was accepted");
  for (std::size_t i = 0; i < short_g.size(); ++i) {
    kbfuzz::require(kbfuzz::same_bits(short_g[i], kUntouched), "a refused gradient was written");
  }
  for (std::size_t i = 0; i < short_h.size(); ++i) {
    kbfuzz::require(kbfuzz::same_bits(short_h[i], kUntouched), "a refused Hessian was written");
  }
  kbfuzz::require(short_g.intact() && short_h.intact(), "a refused call wrote past a buffer");
}

void minimax(FuzzedDataProvider& in) {
  const int number = pick_int(in, -2, 27);
  const int n = pick_int(in, -2, 70);
  const int capacity = pick_int(in, -2, 250);
  if (n > kLargestN) return;
  const int k = in.ConsumeIntegralInRange(-1, 250);
  const auto& info = kinkbench::minimax_problems()[static_cast<std::size_t>(effective(number) - 1)];
  const auto p = kinkbench::MinimaxProblem::create(number, n, capacity);
  if (n < info.min_n) {
    kbfuzz::require(!p && p.error().code == kinkbench::SetupErrorCode::dimension_too_small,
                    "minimax: n below the minimum not refused as such");
    return check_message(p.error());
  }
  if (capacity < info.m) {
    kbfuzz::require(!p && p.error().code == kinkbench::SetupErrorCode::capacity_too_small,
                    "minimax: capacity below m not refused as such");
    return check_message(p.error());
  }
  kbfuzz::require(p.has_value(), "minimax: a valid set-up refused");
  kbfuzz::require(p->number() == effective(number) && p->n() == n &&
                      p->start().size() == static_cast<std::size_t>(n) && p->m() == info.m &&
                      p->min_n() == info.min_n && p->reads_data() == info.reads_data,
                  "minimax: the object does not report its set-up");
  if (n > kLargestEvaluatedN) return;
  check_buffers(*p, [&](std::span<const double> x, std::span<double> g, std::span<double> h) {
    double fk = 0;
    return p->value(k, x, fk) && p->gradient(k, x, g) && p->hessian(k, x, h);
  });
}

void nonsmooth(FuzzedDataProvider& in) {
  const int number = pick_int(in, -2, 27);
  const int n = pick_int(in, -2, 70);
  if (n > kLargestN) return;
  const auto& info =
      kinkbench::nonsmooth_problems()[static_cast<std::size_t>(effective(number) - 1)];
  const auto p = kinkbench::NonsmoothProblem::create(number, n);
  if (n < info.min_n) {
    kbfuzz::require(!p && p.error().code == kinkbench::SetupErrorCode::dimension_too_small,
                    "nonsmooth: n below the minimum not refused as such");
    return check_message(p.error());
  }
  if (info.max_n != 0 && n > info.max_n) {
    kbfuzz::require(!p && p.error().code == kinkbench::SetupErrorCode::dimension_too_large,
                    "nonsmooth: n above the maximum not refused as such");
    return check_message(p.error());
  }
  kbfuzz::require(p.has_value(), "nonsmooth: a valid set-up refused");
  kbfuzz::require(p->number() == effective(number) && p->n() == n &&
                      p->start().size() == static_cast<std::size_t>(n) &&
                      p->min_n() == info.min_n && p->reads_data() == info.reads_data &&
                      p->data().size() == kinkbench::NonsmoothProblem::kDataSize,
                  "nonsmooth: the object does not report its set-up");
  if (n > kLargestEvaluatedN) return;
  check_buffers(*p, [&](std::span<const double> x, std::span<double> g, std::span<double> h) {
    double f = 0;
    return p->value(x, f) && p->gradient(x, g) && p->hessian(x, h);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    minimax(in);
  } else {
    nonsmooth(in);
  }
  return 0;
}
