// Reference side of the Python tests: the C++ API's results as 16-digit hex bit patterns,
// so that pytest compares bits without any number written twice.
//
// One request per stdin line, one answer line per request:
//   minimax NUMBER N CAPACITY COUNT X...  start facts, then for each point: for k = 1..m
//                                         f_k, gradient, packed Hessian; values; jacobian;
//                                         objective value, k; largest value, k
//   nonsmooth NUMBER N COUNT X...         start facts, then for each point: f, gradient,
//                                         packed Hessian
//   point PATH N X...                     X (the caller's values), overwritten by what
//                                         the point-file reader reads from PATH
//   result PATH V                         writes V to PATH with the result-file writer
// X and V are bit patterns; k is sent as a double. Start facts: (minimax) m, itype as
// doubles, fmin, stepmax, start; (nonsmooth) fmin, stepmax, start.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "blackbox/point_file.hpp"
#include "blackbox/result_file.hpp"
#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace {

double from_bits(const std::string& word) {
  const std::uint64_t bits = std::stoull(word, nullptr, 16);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void put(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  std::printf(" %016" PRIx64, bits);
}

void put(const std::vector<double>& values) {
  for (double v : values) put(v);
}

std::vector<double> read_values(std::istringstream& in, std::size_t count) {
  std::vector<double> values(count);
  for (auto& v : values) {
    std::string word;
    if (!(in >> word)) throw std::runtime_error("request ends early");
    v = from_bits(word);
  }
  return values;
}

std::size_t packed_size(int n) {
  const auto un = static_cast<std::size_t>(n);
  return un * (un + 1) / 2;
}

void minimax(std::istringstream& in) {
  int number = 0, n = 0, capacity = 0;
  std::size_t count = 0;
  in >> number >> n >> capacity >> count;
  const auto created = kinkbench::MinimaxProblem::create(number, n, capacity);
  if (!created) throw std::runtime_error(created.error().message);
  const auto& p = *created;
  const auto un = static_cast<std::size_t>(n), um = static_cast<std::size_t>(p.m());
  put(p.m());
  put(p.itype());
  put(p.fmin());
  put(p.stepmax());
  put(std::vector<double>(p.start().begin(), p.start().end()));
  const std::vector<double> points = read_values(in, count * un);
  for (std::size_t i = 0; i < count; ++i) {
    const std::span<const double> x(points.data() + i * un, un);
    for (int k = 1; k <= p.m(); ++k) {
      double f = 0.0;
      std::vector<double> g(un, 0.0), h(packed_size(n), 0.0);
      p.value(k, x, f);
      p.gradient(k, x, g);
      p.hessian(k, x, h);
      put(f);
      put(g);
      put(h);
    }
    std::vector<double> values(um, 0.0), jacobian(um * un, 0.0);
    p.values(x, values);
    p.jacobian(x, jacobian);
    put(values);
    put(jacobian);
    const auto objective = p.objective(x);
    const auto largest = p.largest(x);
    put(objective.value);
    put(objective.k);
    put(largest.value);
    put(largest.k);
  }
}

void nonsmooth(std::istringstream& in) {
  int number = 0, n = 0;
  std::size_t count = 0;
  in >> number >> n >> count;
  const auto created = kinkbench::NonsmoothProblem::create(number, n);
  if (!created) throw std::runtime_error(created.error().message);
  const auto& p = *created;
  const auto un = static_cast<std::size_t>(n);
  put(p.fmin());
  put(p.stepmax());
  put(std::vector<double>(p.start().begin(), p.start().end()));
  const std::vector<double> points = read_values(in, count * un);
  for (std::size_t i = 0; i < count; ++i) {
    const std::span<const double> x(points.data() + i * un, un);
    double f = 0.0;
    std::vector<double> g(un, 0.0), h(packed_size(n), 0.0);
    p.value(x, f);
    p.gradient(x, g);
    p.hessian(x, h);
    put(f);
    put(g);
    put(h);
  }
}

void point(std::istringstream& in) {
  std::string path;
  int n = 0;
  in >> path >> n;
  std::vector<double> x = read_values(in, static_cast<std::size_t>(n));
  const auto status = kinkbench::blackbox::read_point_file(path.c_str(), x.data(), n);
  if (status.status != kinkbench::blackbox::PointStatus::ok) {
    throw std::runtime_error("the point file reader failed at item " + std::to_string(status.item));
  }
  put(x);
}

void result(std::istringstream& in) {
  std::string path;
  in >> path;
  const double v = read_values(in, 1)[0];
  if (kinkbench::blackbox::write_result_file(path.c_str(), v).status !=
      kinkbench::blackbox::WriteStatus::ok) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    try {
      if (kind == "minimax") {
        minimax(in);
      } else if (kind == "nonsmooth") {
        nonsmooth(in);
      } else if (kind == "point") {
        point(in);
      } else if (kind == "result") {
        result(in);
      } else {
        throw std::runtime_error("unknown request '" + kind + "'");
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "reference_driver: %s\n", e.what());
      return 1;
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}
