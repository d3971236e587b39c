// The hot path of kinkbench.runlog: one object per run that evaluates a point for a
// solver, tells a new point from the one just before by its bits, counts, keeps the best
// so far and appends the evaluation's line to a block written to the log's descriptor.
// Python keeps the header, the outcome and the files; this keeps up with the solver.
// Every call runs with the GIL held from start to end, so a log shared by threads sees
// one call at a time and its lines are whole and numbered in order.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"

namespace py = pybind11;

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;

using Array = py::array_t<double, py::array::c_style>;
using PointArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A block is written when the buffer holds this much: memory stays flat however long the
// run, and a write costs little against the evaluations between two of them.
constexpr std::size_t kBlock = 1 << 16;

// A double as Python's repr() spells it (so as json.dumps does): the shortest digits that
// read back to the same bits, fixed notation for decimal exponents -4..15, an exponent of
// at least two digits otherwise, and ".0" on whole numbers so that -0.0 keeps its sign.
void append_number(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "\"nan\"";
    return;
  }
  if (std::isinf(v)) {
    out += v > 0 ? "\"inf\"" : "\"-inf\"";
    return;
  }
  char text[40];
  const auto done = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific);
  std::string_view s(text, static_cast<std::size_t>(done.ptr - text));
  if (s.front() == '-') {
    out += '-';
    s.remove_prefix(1);
  }
  const std::size_t e = s.find('e');
  int exponent = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), exponent);
  char digits[24];
  std::size_t count = 0;
  for (std::size_t i = 0; i < e; ++i) {
    if (s[i] != '.') digits[count++] = s[i];
  }
  const std::string_view d(digits, count);
  if (exponent >= -4 && exponent < 16) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += d;
    } else if (count <= static_cast<std::size_t>(exponent) + 1) {
      out += d;
      out.append(static_cast<std::size_t>(exponent) + 1 - count, '0');
      out += ".0";
    } else {
      const auto whole = static_cast<std::size_t>(exponent) + 1;
      out += d.substr(0, whole);
      out += '.';
      out += d.substr(whole);
    }
    return;
  }
  out += d.front();
  if (count > 1) {
    out += '.';
    out += d.substr(1);
  }
  out += exponent < 0 ? "e-" : "e+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out += '0';
  out += std::to_string(magnitude);
}

void append_count(std::string& out, std::int64_t value) {
  char text[24];
  const auto done = std::to_chars(text, text + sizeof text, value);
  out.append(text, done.ptr);
}

class Recorder {
 public:
  // collection "minimax" or "nonsmooth"; budget < 0: none; fd < 0: no file; weights:
  // the cost of one value, gradient, Jacobian and Hessian call; stop: the exception type
  // raised in place of an evaluation past the budget.
  Recorder(const std::string& collection, int number, int n, long long budget, bool improvements,
           const py::sequence& weights, int fd, py::object stop)
      : n_(n), budget_(budget), improvements_(improvements), fd_(fd), stop_(std::move(stop)) {
    if (weights.size() != 4) throw py::value_error("weights: four numbers");
    for (std::size_t i = 0; i < 4; ++i) weights_[i] = weights[i].cast<double>();
    if (collection == "minimax") {
      const auto& info = kinkbench::minimax_problems()[static_cast<std::size_t>(number - 1)];
      auto made = MinimaxProblem::create(number, n, info.m);
      if (!made) throw py::value_error(made.error().message);
      minimax_.emplace(std::move(made).value());
    } else {
      auto made = NonsmoothProblem::create(number, n);
      if (!made) throw py::value_error(made.error().message);
      nonsmooth_.emplace(std::move(made).value());
    }
    who_ = collection + " problem " + std::to_string(number);
    last_.assign(static_cast<std::size_t>(n), 0.0);
    best_x_.assign(static_cast<std::size_t>(n), 0.0);
    buffer_.reserve(kBlock + 512);
  }

  // ------------------------------------------------------------ what the solver calls

  py::object fun(const py::handle& x) {
    const PointArray points = as_points(x);
    if (points.ndim() == 1) {
      visit(points.data(), Call::kValue);
      return py::float_(last_f_);
    }
    const py::ssize_t count = points.shape(0);
    Array out(count);
    for (py::ssize_t i = 0; i < count; ++i) {
      visit(points.data() + i * n_, Call::kValue);
      out.mutable_data()[i] = last_f_;
    }
    return out;
  }

  Array grad(const py::handle& x) {
    const PointArray points = as_points(x);
    const bool batch = points.ndim() == 2;
    const py::ssize_t count = batch ? points.shape(0) : 1;
    Array out = batch ? Array({count, py::ssize_t{n_}}) : Array(py::ssize_t{n_});
    for (py::ssize_t i = 0; i < count; ++i) {
      visit(points.data() + i * n_, Call::kGradient);
      gradient_at(points.data() + i * n_, out.mutable_data() + i * n_);
    }
    return out;
  }

  Array values(const py::handle& x) {
    const MinimaxProblem& p = need_minimax("values");
    const PointArray points = as_points(x);
    const bool batch = points.ndim() == 2;
    const py::ssize_t count = batch ? points.shape(0) : 1;
    const py::ssize_t m = p.m();
    Array out = batch ? Array({count, m}) : Array(m);
    for (py::ssize_t i = 0; i < count; ++i) {
      visit(points.data() + i * n_, Call::kValues);
      p.values(span(points.data() + i * n_),
               {out.mutable_data() + i * m, static_cast<std::size_t>(m)});
    }
    return out;
  }

  Array jacobian(const py::handle& x) {
    const MinimaxProblem& p = need_minimax("jacobian");
    const PointArray points = as_points(x);
    const bool batch = points.ndim() == 2;
    const py::ssize_t count = batch ? points.shape(0) : 1;
    const py::ssize_t m = p.m();
    const py::ssize_t mn = m * n_;
    Array out = batch ? Array({count, m, py::ssize_t{n_}}) : Array({m, py::ssize_t{n_}});
    for (py::ssize_t i = 0; i < count; ++i) {
      visit(points.data() + i * n_, Call::kJacobian);
      p.jacobian(span(points.data() + i * n_),
                 {out.mutable_data() + i * mn, static_cast<std::size_t>(mn)});
    }
    return out;
  }

  Array hessian(const py::handle& x, bool packed) {
    const PointArray points = as_points(x);
    if (points.ndim() != 1) throw py::value_error("hessian(x) takes one point");
    visit(points.data(), Call::kHessian);
    const auto nn = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_ + 1) / 2;
    std::vector<double> triangle(nn, 0.0);
    const std::span<const double> point = span(points.data());
    if (nonsmooth_) {
      nonsmooth_->hessian(point, triangle);
    } else {
      minimax_->hessian(last_k_, point, triangle);
      if (negate_) {
        for (double& h : triangle) h = -h;
      }
    }
    if (packed) {
      Array out(static_cast<py::ssize_t>(nn));
      std::copy(triangle.begin(), triangle.end(), out.mutable_data());
      return out;
    }
    Array out({py::ssize_t{n_}, py::ssize_t{n_}});
    double* dense = out.mutable_data();
    std::size_t at = 0;
    for (int i = 0; i < n_; ++i) {
      for (int j = 0; j <= i; ++j, ++at) {
        dense[i * n_ + j] = triangle[at];
        dense[j * n_ + i] = triangle[at];
      }
    }
    return out;
  }

  // The objective at x, neither counted nor recorded (f0, checks).
  double peek(const py::handle& x) {
    const PointArray points = as_points(x);
    if (points.ndim() != 1) throw py::value_error("one point");
    return objective(points.data()).first;
  }

  // ------------------------------------------------------------- what Python calls

  // A line of Python's own (header, outcome), after everything recorded so far.
  void write(const std::string& line) {
    buffer_ += line;
    buffer_ += '\n';
    if (buffer_.size() >= kBlock) drain();
  }

  void flush() { drain(); }

  // No evaluation after this; the file's descriptor stays Python's to close.
  void close() {
    drain();
    closed_ = true;
  }

  std::int64_t evaluations() const { return evaluations_; }
  double best() const { return best_; }
  py::object best_x() const {
    if (evaluations_ == 0 || std::isnan(best_) || !has_best_) return py::none();
    Array out(py::ssize_t{n_});
    std::copy(best_x_.begin(), best_x_.end(), out.mutable_data());
    return out;
  }
  bool exhausted() const { return exhausted_; }
  py::dict counts() const {
    py::dict d;
    d["values"] = calls_[0];
    d["gradients"] = calls_[1];
    d["jacobians"] = calls_[2];
    d["hessians"] = calls_[3];
    return d;
  }
  double cost() const { return cost_; }
  py::object write_error() const {
    return error_.empty() ? py::object(py::none()) : py::object(py::str(error_));
  }

 private:
  enum class Call { kValue = 0, kGradient = 1, kValues = 0, kJacobian = 2, kHessian = 3 };

  std::span<const double> span(const double* x) const { return {x, static_cast<std::size_t>(n_)}; }

  const MinimaxProblem& need_minimax(const char* what) const {
    if (!minimax_) {
      throw py::type_error(std::string(what) +
                           "(x) is for minimax problems; use fun(x) and grad(x)");
    }
    return *minimax_;
  }

  PointArray as_points(const py::handle& x) const {
    PointArray points;
    if (PointArray::check_(x)) {
      points = py::reinterpret_borrow<PointArray>(x);
    } else {
      py::array raw = py::array::ensure(x);
      if (!raw) {
        PyErr_Clear();
        throw py::type_error("x must be an array of real numbers, got " + std::string(py::repr(x)));
      }
      const char kind = raw.dtype().kind();
      if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
        throw py::type_error("x must hold real numbers, got dtype " +
                             std::string(py::str(raw.dtype())));
      }
      points = PointArray::ensure(raw);
      if (!points) throw py::error_already_set();
    }
    const bool one = points.ndim() == 1 && points.shape(0) == n_;
    const bool batch = points.ndim() == 2 && points.shape(1) == n_;
    if (!one && !batch) {
      std::string shape = "(";
      for (py::ssize_t i = 0; i < points.ndim(); ++i) {
        shape += std::to_string(points.shape(i)) + (points.ndim() == 1 ? "," : "");
        if (i + 1 < points.ndim()) shape += ", ";
      }
      shape += ")";
      throw py::value_error("x has shape " + shape + ", but " + who_ +
                            " is set up for n = " + std::to_string(n_));
    }
    return points;
  }

  // The objective at x and, for a minimax problem, the k it is taken at.
  std::pair<double, int> objective(const double* x) const {
    if (nonsmooth_) {
      double f = 0.0;
      nonsmooth_->value(span(x), f);
      return {f, 0};
    }
    const auto found = minimax_->objective(span(x));
    return {found.value, found.k};
  }

  // The subgradient the command's stream gives: grad f for a nonsmooth problem; for a
  // minimax one grad f_k at the first k attaining the objective, negated for a fit
  // (max |f_k|) where that f_k is negative.
  void gradient_at(const double* x, double* g) const {
    const std::span<double> out(g, static_cast<std::size_t>(n_));
    std::fill(out.begin(), out.end(), 0.0);
    if (nonsmooth_) {
      nonsmooth_->gradient(span(x), out);
      return;
    }
    minimax_->gradient(last_k_, span(x), out);
    if (negate_) {
      for (double& v : out) v = -v;
    }
  }

  // Counts the call; a point whose bits differ from the last one's is a new evaluation:
  // under the budget it is evaluated and recorded, past it refused.
  void visit(const double* x, Call call) {
    if (closed_) throw py::value_error("this run log is finished; start a new RunLog");
    const bool same = has_last_ && std::memcmp(x, last_.data(), sizeof(double) * last_.size()) == 0;
    if (!same) {
      if (budget_ >= 0 && evaluations_ >= budget_) {
        exhausted_ = true;
        has_last_ = false;  // the refused point was not evaluated
        PyErr_SetNone(stop_.ptr());
        throw py::error_already_set();
      }
      std::memcpy(last_.data(), x, sizeof(double) * last_.size());
      has_last_ = true;
      ++evaluations_;
      const auto [f, k] = objective(x);
      last_f_ = f;
      last_k_ = k;
      negate_ = false;
      if (minimax_ && minimax_->itype() == 0) {
        double fk = 0.0;
        minimax_->value(k, span(x), fk);
        negate_ = fk < 0;
      }
    }
    const auto kind = static_cast<std::size_t>(call);
    ++calls_[kind];
    cost_ += weights_[kind];
    if (same) return;
    const bool improved = f_improves(last_f_);
    if (improved) {
      best_ = last_f_;
      has_best_ = true;
      std::memcpy(best_x_.data(), x, sizeof(double) * best_x_.size());
    }
    if (!improvements_ || improved || evaluations_ == 1) record();
  }

  bool f_improves(double f) const { return f < best_; }  // NaN never does; ties keep the first

  void record() {
    std::string& out = buffer_;
    out += "{\"eval\": ";
    append_count(out, evaluations_);
    out += ", \"f\": ";
    append_number(out, last_f_);
    out += ", \"best\": ";
    append_number(out, best_);
    out += ", \"values\": ";
    append_count(out, calls_[0]);
    out += ", \"gradients\": ";
    append_count(out, calls_[1]);
    out += ", \"jacobians\": ";
    append_count(out, calls_[2]);
    out += ", \"hessians\": ";
    append_count(out, calls_[3]);
    out += ", \"cost\": ";
    append_number(out, cost_);
    out += "}\n";
    if (out.size() >= kBlock) drain();
  }

  // Writes the buffer; a failure (a full disk) is kept for finish() to report with the
  // file's name, and nothing more is written, rather than raised inside the solver.
  void drain() {
    if (fd_ < 0 || !error_.empty()) {
      buffer_.clear();
      return;
    }
    const char* at = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
      const ssize_t wrote = ::write(fd_, at, left);
      if (wrote < 0) {
        if (errno == EINTR) continue;
        error_ = std::generic_category().message(errno);
        break;
      }
      at += wrote;
      left -= static_cast<std::size_t>(wrote);
    }
    buffer_.clear();
  }

  std::optional<MinimaxProblem> minimax_;
  std::optional<NonsmoothProblem> nonsmooth_;
  std::string who_;
  int n_;
  long long budget_;
  bool improvements_;
  int fd_;
  py::object stop_;
  double weights_[4] = {1, 1, 1, 1};

  std::vector<double> last_;
  bool has_last_ = false;
  double last_f_ = 0.0;
  int last_k_ = 1;
  bool negate_ = false;
  std::int64_t evaluations_ = 0;
  std::int64_t calls_[4] = {0, 0, 0, 0};
  double cost_ = 0.0;
  double best_ = INFINITY;
  bool has_best_ = false;
  std::vector<double> best_x_;
  bool exhausted_ = false;
  bool closed_ = false;
  std::string buffer_;
  std::string error_;
};

}  // namespace

void kinkbench_register_recorder(py::module_& module) {
  py::class_<Recorder>(module, "_Recorder",
                       "The per-evaluation half of kinkbench.RunLog; use RunLog, not this.")
      .def(py::init<const std::string&, int, int, long long, bool, const py::sequence&, int,
                    py::object>(),
           py::arg("collection"), py::arg("number"), py::arg("n"), py::arg("budget"),
           py::arg("improvements"), py::arg("weights"), py::arg("fd"), py::arg("stop"))
      .def("fun", &Recorder::fun, py::arg("x"))
      .def("grad", &Recorder::grad, py::arg("x"))
      .def("values", &Recorder::values, py::arg("x"))
      .def("jacobian", &Recorder::jacobian, py::arg("x"))
      .def("hessian", &Recorder::hessian, py::arg("x"), py::arg("packed") = false)
      .def("peek", &Recorder::peek, py::arg("x"))
      .def("write", &Recorder::write, py::arg("line"))
      .def("flush", &Recorder::flush)
      .def("close", &Recorder::close)
      .def_property_readonly("evaluations", &Recorder::evaluations)
      .def_property_readonly("best", &Recorder::best)
      .def_property_readonly("best_x", &Recorder::best_x)
      .def_property_readonly("exhausted", &Recorder::exhausted)
      .def_property_readonly("cost", &Recorder::cost)
      .def_property_readonly("write_error", &Recorder::write_error)
      .def("counts", &Recorder::counts);
  module.attr("_library_version") = KINKBENCH_VERSION;
  module.def(
      "_json_number",
      [](double v) {
        std::string out;
        append_number(out, v);
        return out;
      },
      "A float as the run logs write it (for tests).");
}
