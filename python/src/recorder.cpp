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
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
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

// The longest line record() writes: nine numbers of at most 24 characters, and the keys.
constexpr std::size_t kMaxRecord = 9 * 24 + 128;

template <std::size_t N>
char* put(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

char* put_count(char* out, std::int64_t value) { return std::to_chars(out, out + 24, value).ptr; }

// A double as Python's repr() spells it (so as json.dumps does): the shortest digits that
// read back to the same bits, fixed notation for decimal exponents -4..15, an exponent of
// at least two digits otherwise, and ".0" on whole numbers so that -0.0 keeps its sign.
// Non-finite values are the strings "nan", "inf", "-inf". At most 24 characters.
char* put_number(char* out, double v) {
  if (std::isnan(v)) return put(out, "\"nan\"");
  if (std::isinf(v)) return v > 0 ? put(out, "\"inf\"") : put(out, "\"-inf\"");
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {  // whole numbers, the common cost
    if (std::signbit(v)) *out++ = '-';
    out = put_count(out, static_cast<std::int64_t>(std::fabs(v)));
    return put(out, ".0");
  }
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific).ptr;
  const char* s = text;
  if (*s == '-') {
    *out++ = '-';
    ++s;
  }
  // s is D[.DDD]e(+|-)XX[X]
  const char* e = s + 1;
  while (*e != 'e') ++e;
  char digits[20];
  std::size_t count = 0;
  digits[count++] = s[0];
  for (const char* q = s + 2; q < e; ++q) digits[count++] = *q;
  int exponent = 0;
  for (const char* q = e + 2; q < end; ++q) exponent = exponent * 10 + (*q - '0');
  if (e[1] == '-') exponent = -exponent;
  if (exponent >= -4 && exponent < 16) {
    if (exponent < 0) {
      out = put(out, "0.");
      for (int i = -1; i > exponent; --i) *out++ = '0';
      std::memcpy(out, digits, count);
      return out + count;
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (count <= whole) {
      std::memcpy(out, digits, count);
      out += count;
      for (std::size_t i = count; i < whole; ++i) *out++ = '0';
      return put(out, ".0");
    }
    std::memcpy(out, digits, whole);
    out += whole;
    *out++ = '.';
    std::memcpy(out, digits + whole, count - whole);
    return out + (count - whole);
  }
  *out++ = digits[0];
  if (count > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, count - 1);
    out += count - 1;
  }
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) *out++ = '0';
  return std::to_chars(out, out + 4, magnitude).ptr;
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
    buffer_.resize(kBlock);
  }

  ~Recorder() { stop_writer(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

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
    if (used_ + line.size() + 1 > buffer_.size()) drain();
    if (line.size() + 1 > buffer_.size()) {  // a header with a very long x0
      emit(line.data(), line.size());
      emit("\n", 1);
      return;
    }
    std::memcpy(buffer_.data() + used_, line.data(), line.size());
    used_ += line.size();
    buffer_[used_++] = '\n';
  }

  void flush() { drain(); }

  // No evaluation after this; the file's descriptor stays Python's to close.
  void close() {
    drain();
    stop_writer();
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
  py::object write_error() {
    settle();
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
      best_changed_ = true;
      has_best_ = true;
      std::memcpy(best_x_.data(), x, sizeof(double) * best_x_.size());
    }
    if (!improvements_ || improved || evaluations_ == 1) record();
  }

  bool f_improves(double f) const { return f < best_; }  // NaN never does; ties keep the first

  void record() {
    if (used_ + kMaxRecord > buffer_.size()) hand_over();
    char* out = buffer_.data() + used_;
    out = put(out, "{\"eval\": ");
    out = put_count(out, evaluations_);
    out = put(out, ", \"f\": ");
    out = put_number(out, last_f_);
    out = put(out, ", \"best\": ");
    if (best_changed_) {  // the best is mostly the line before's: spelled once
      best_length_ = static_cast<std::size_t>(put_number(best_text_, best_) - best_text_);
      best_changed_ = false;
    }
    std::memcpy(out, best_text_, best_length_);
    out += best_length_;
    out = put(out, ", \"values\": ");
    out = put_count(out, calls_[0]);
    out = put(out, ", \"gradients\": ");
    out = put_count(out, calls_[1]);
    out = put(out, ", \"jacobians\": ");
    out = put_count(out, calls_[2]);
    out = put(out, ", \"hessians\": ");
    out = put_count(out, calls_[3]);
    out = put(out, ", \"cost\": ");
    out = put_number(out, cost_);
    out = put(out, "}\n");
    used_ = static_cast<std::size_t>(out - buffer_.data());
  }

  // Writes the buffer; a failure (a full disk) is kept for finish() to report with the
  // file's name, and nothing more is written, rather than raised inside the solver.
  // Writes the buffer now, after any block the writer still holds.
  void drain() {
    settle();
    emit(buffer_.data(), used_);
    used_ = 0;
  }

  // A full block goes to the writer thread, which writes it without the GIL while the
  // solver goes on into the other block; the kernel's copy of the bytes (on this machine
  // as dear as the evaluation) leaves the solver's path.
  void hand_over() {
    if (fd_ < 0) {
      used_ = 0;
      return;
    }
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_; });
    std::swap(buffer_, spare_);
    spare_used_ = used_;
    used_ = 0;
    pending_ = true;
    if (!writer_.joinable()) writer_ = std::thread([this] { write_blocks(); });
    work_.notify_one();
  }

  void write_blocks() {
    std::unique_lock lock(mutex_);
    while (true) {
      work_.wait(lock, [this] { return pending_ || stopping_; });
      if (!pending_) return;
      lock.unlock();
      emit(spare_.data(), spare_used_);
      lock.lock();
      pending_ = false;
      idle_.notify_all();
    }
  }

  // Waits until the writer holds no block.
  void settle() {
    if (!writer_.joinable()) return;
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_; });
  }

  void stop_writer() {
    if (!writer_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_one();
    writer_.join();
  }

  // Runs on one thread at a time: the caller's with the writer idle, or the writer's.
  void emit(const char* at, std::size_t left) {
    if (fd_ < 0 || !error_.empty()) return;
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
  std::string buffer_;  // a block: used_ bytes hold lines not yet written
  std::size_t used_ = 0;
  char best_text_[32] = {};
  std::size_t best_length_ = 0;
  bool best_changed_ = true;
  std::string error_;
  std::string spare_ = std::string(kBlock, '\0');  // the block the writer thread holds
  std::size_t spare_used_ = 0;
  std::mutex mutex_;
  std::condition_variable work_, idle_;
  bool pending_ = false, stopping_ = false;
  std::thread writer_;
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
        char text[32];
        return std::string(text, put_number(text, v));
      },
      "A float as the run logs write it (for tests).");
}
