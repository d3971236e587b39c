// Reference side of the Octave tests: the C++ API's results as 16-digit hex bit patterns,
// one tagged line each, for every problem at its smallest n and three more (where the
// problem takes them), at the start, at three seeded points and at the start with its last
// component infinite. The test reads the points from here too, so that no number is
// computed twice.
//
//   case COLLECTION NUMBER N
//   start  m itype fmin stepmax x0 (minimax) | fmin stepmax x0 (nonsmooth)
//   best   fstar xstar, or nothing when none is stored for N
//   points the points, one after the other
//   pieces the pieces' names, in words
//   then per point, minimax:   f K fk gk packed-Hk   for k = 1..m
//                              values f1..fm
//                              jacobian  the C++ rows, one after the other
//                              objective value k
//                              largest   value k
//                   nonsmooth: f f g packed-H
//              and for both:   active  piece values, then 1 or 0 per piece (eps 1e-3)
//                              stationarity  norm gap iterations converged multipliers
//                                            element
// K is decimal; every other number is a bit pattern (k as a double).
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "kinkbench/pieces.hpp"

namespace {

constexpr int kExtraN = 3;
constexpr int kSeededPoints = 3;
constexpr double kEps = 1e-3;  // the tolerance of active and stationarity

void put(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  std::printf(" %016" PRIx64, bits);
}

void put(std::span<const double> values) {
  for (double v : values) put(v);
}

std::size_t packed_size(std::size_t n) { return n * (n + 1) / 2; }

// The start, kSeededPoints moves from it of 0.2 (1 + |x0_i|) times a uniform number in
// (-1, 1), drawn from the bits of a fixed generator, and one more (below).
std::vector<double> points_for(int number, int n, std::span<const double> x0) {
  std::mt19937_64 bits(static_cast<std::uint64_t>(1000 * number + n));
  std::vector<double> points(x0.begin(), x0.end());
  for (int i = 0; i < kSeededPoints; ++i) {
    for (double xi : x0) {
      const double u = static_cast<double>(bits() >> 11) * 0x1p-52 - 1.0;
      points.push_back(xi + 0.2 * (1.0 + (xi < 0 ? -xi : xi)) * u);
    }
  }
  // And the start with its last component infinite: IEEE infinities and NaN must come
  // through as computed.
  points.insert(points.end(), x0.begin(), x0.end());
  points.back() = INFINITY;
  std::printf("points");
  put(points);
  std::printf("\n");
  return points;
}

// The pieces' names, in words.
void put_names(const kinkbench::Pieces& pieces) {
  std::printf("pieces");
  for (int i = 0; i < pieces.piece_count(); ++i) std::printf(" %s", pieces.name(i).c_str());
  std::printf("\n");
}

// At eps = kEps: the piece values and activity (1 or 0), then norm, gap, iterations,
// converged, multipliers and the element of the least-norm element.
void put_kinks(const kinkbench::Pieces& pieces, std::span<const double> x) {
  kinkbench::PieceWorkspace ws(pieces);
  const auto count = static_cast<std::size_t>(pieces.piece_count());
  pieces.active(x, kEps, ws);
  std::printf("active");
  put(ws.values());
  for (int i = 0; i < pieces.piece_count(); ++i) put(ws.is_active(i) ? 1.0 : 0.0);
  std::vector<double> multipliers(count, 0.0), element(x.size(), 0.0);
  const auto found = pieces.stationarity(x, kEps, ws, multipliers, element);
  std::printf("\nstationarity");
  put(found.norm);
  put(found.gap);
  put(found.iterations);
  put(found.converged ? 1.0 : 0.0);
  put(multipliers);
  put(element);
  std::printf("\n");
}

void put_best(const kinkbench::BestKnown* best) {
  std::printf("best");
  if (best != nullptr) {
    put(best->value);
    put(best->point);
  }
  std::printf("\n");
}

int minimax(int number, int n, int capacity) {
  const auto created = kinkbench::MinimaxProblem::create(number, n, capacity);
  if (!created) {
    std::fprintf(stderr, "reference_driver: %s\n", created.error().message.c_str());
    return 1;
  }
  const auto& p = *created;
  const auto un = static_cast<std::size_t>(n), um = static_cast<std::size_t>(p.m());
  std::printf("case minimax %d %d\nstart", number, n);
  put(p.m());
  put(p.itype());
  put(p.fmin());
  put(p.stepmax());
  put(p.start());
  std::printf("\n");
  put_best(p.best_known());
  const std::vector<double> points = points_for(number, n, p.start());
  const kinkbench::Pieces pieces(p);
  put_names(pieces);
  for (std::size_t i = 0; i < points.size() / un; ++i) {
    const std::span<const double> x(points.data() + i * un, un);
    for (int k = 1; k <= p.m(); ++k) {
      double f = 0.0;
      std::vector<double> g(un, 0.0), h(packed_size(un), 0.0);
      p.value(k, x, f);
      p.gradient(k, x, g);
      p.hessian(k, x, h);
      std::printf("f %d", k);
      put(f);
      put(g);
      put(h);
      std::printf("\n");
    }
    std::vector<double> values(um, 0.0), jacobian(um * un, 0.0);
    p.values(x, values);
    p.jacobian(x, jacobian);
    std::printf("values");
    put(values);
    std::printf("\njacobian");
    put(jacobian);
    const auto objective = p.objective(x);
    const auto largest = p.largest(x);
    std::printf("\nobjective");
    put(objective.value);
    put(objective.k);
    std::printf("\nlargest");
    put(largest.value);
    put(largest.k);
    std::printf("\n");
    put_kinks(pieces, x);
  }
  return 0;
}

int nonsmooth(int number, int n) {
  const auto created = kinkbench::NonsmoothProblem::create(number, n);
  if (!created) {
    std::fprintf(stderr, "reference_driver: %s\n", created.error().message.c_str());
    return 1;
  }
  const auto& p = *created;
  const auto un = static_cast<std::size_t>(n);
  std::printf("case nonsmooth %d %d\nstart", number, n);
  put(p.fmin());
  put(p.stepmax());
  put(p.start());
  std::printf("\n");
  put_best(p.best_known());
  const std::vector<double> points = points_for(number, n, p.start());
  const kinkbench::Pieces pieces(p);
  put_names(pieces);
  for (std::size_t i = 0; i < points.size() / un; ++i) {
    const std::span<const double> x(points.data() + i * un, un);
    double f = 0.0;
    std::vector<double> g(un, 0.0), h(packed_size(un), 0.0);
    p.value(x, f);
    p.gradient(x, g);
    p.hessian(x, h);
    std::printf("f");
    put(f);
    put(g);
    put(h);
    std::printf("\n");
    put_kinks(pieces, x);
  }
  return 0;
}

}  // namespace

int main() {
  for (const auto& row : kinkbench::minimax_problems()) {
    for (int n : {row.min_n, row.min_n + kExtraN}) {
      if (minimax(row.number, n, row.m) != 0) return 1;
    }
  }
  for (const auto& row : kinkbench::nonsmooth_problems()) {
    for (int n : {row.min_n, row.min_n + kExtraN}) {
      if (row.max_n != 0 && n > row.max_n) continue;
      if (nonsmooth(row.number, n) != 0) return 1;
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
