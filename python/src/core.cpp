// The compiled half of the Python package: thin wrappers over the C++ problem objects.
// Every number comes from a C++ call; this file only checks arguments, converts points
// to float64 once, lays results out in fresh arrays and releases the GIL for batches.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "pieces.hpp"

namespace py = pybind11;

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;

constexpr int kProblemCount = 25;

using Array = py::array_t<double, py::array::c_style>;
// Points: forcecast so that long double, the one real dtype not safely castable to
// float64, is rounded as astype() rounds it instead of failing.
using PointArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using IndexArray = py::array_t<std::int64_t, py::array::c_style>;

std::string repr_of(const py::handle& object) { return py::repr(object).cast<std::string>(); }

[[noreturn]] void not_a_whole_number(const py::handle& object, const char* name) {
  throw py::type_error(std::string(name) + " must be an integer, got " + repr_of(object) + " (" +
                       std::string(py::str(py::type::of(object).attr("__name__"))) + ")");
}

// A whole number from anything with __index__; floats (2.5, nan, even 3.0) are refused
// rather than truncated, as range() refuses them, and so are bools: minimax(True) is a
// mistake, not problem 1. Values beyond long long come back clamped; say_whole() spells
// them as given.
long long whole_number(const py::handle& object, const char* name) {
  if (PyLong_CheckExact(object.ptr())) {
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(object.ptr(), &overflow);
    if (overflow == 0) return value;
  }
  if (PyFloat_Check(object.ptr()) || PyBool_Check(object.ptr()) || !PyIndex_Check(object.ptr()) ||
      py::isinstance(object, py::module_::import("numpy").attr("bool_"))) {
    not_a_whole_number(object, name);
  }
  py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(object.ptr()));
  if (!index) {
    // Such as a one-element array, whose __index__ refuses in its own words.
    PyErr_Clear();
    not_a_whole_number(object, name);
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0)
    return overflow > 0 ? std::numeric_limits<long long>::max()
                        : std::numeric_limits<long long>::min();
  if (value == -1 && PyErr_Occurred()) throw py::error_already_set();
  return value;
}

// The decimal digits of a whole number that whole_number() accepted, for messages.
std::string say_whole(const py::handle& object) {
  py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(object.ptr()));
  if (!index) throw py::error_already_set();  // an __index__ that fails the second time
  return py::str(index);
}

int problem_number(const py::handle& object, const char* collection) {
  const long long number = whole_number(object, "the problem number");
  if (number < 1 || number > kProblemCount) {
    throw py::value_error(std::string(collection) + " problems are numbered 1.." +
                          std::to_string(kProblemCount) + ", got " + say_whole(object) +
                          "; kinkbench.problems() lists them");
  }
  return static_cast<int>(number);
}

// n and capacity: None picks the default, anything else must be a whole number that
// fits the C++ int; the C++ set-up judges the value itself.
int size_argument(const py::handle& object, const char* name, int fallback) {
  if (object.is_none()) return fallback;
  const long long value = whole_number(object, name);
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
    throw py::value_error(std::string(name) + " = " + say_whole(object) + " is out of range");
  }
  return static_cast<int>(value);
}

// One point (1-D, length n) or a batch (2-D, shape (N, n)), as C-ordered float64.
// `owner` keeps the converted array alive; a plain object, since a default-constructed
// py::array would make a fresh empty array on every call.
struct Points {
  py::object owner;
  const double* data = nullptr;
  bool batch = false;
  py::ssize_t count = 1;

  std::span<const double> row(py::ssize_t i, int n) const {
    return {data + i * n, static_cast<std::size_t>(n)};
  }
};

// A C-ordered, aligned, native float64 ndarray (not a subclass): used as it is. The
// direct test of type, dtype and flags spares the dtype that array_t's check builds and
// compares on every call.
bool plain_float64(PyObject* x) {
  const auto& api = py::detail::npy_api::get();
  if (Py_TYPE(x) != api.PyArray_Type_) return false;
  const auto* array = py::detail::array_proxy(x);
  const auto* descr = py::detail::array_descriptor_proxy(array->descr);
  constexpr int kFlags =
      py::detail::npy_api::NPY_ARRAY_C_CONTIGUOUS_ | py::detail::npy_api::NPY_ARRAY_ALIGNED_;
  return descr->type_num == py::detail::npy_api::NPY_DOUBLE_ && descr->byteorder != '>' &&
         (array->flags & kFlags) == kFlags;
}

// `who` names the problem in messages, e.g. "minimax problem 7"; built only on error.
Points as_points(const py::handle& x, int n, const char* collection, int number) {
  const auto who = [&] { return std::string(collection) + " problem " + std::to_string(number); };
  const bool ready = plain_float64(x.ptr());
  py::object raw;
  if (ready) {
    raw = py::reinterpret_borrow<py::object>(x);
  } else {
    raw = py::isinstance<py::array>(x)
              ? py::reinterpret_borrow<py::object>(x)
              : py::reinterpret_steal<py::object>(py::array::ensure(x).release());
    if (!raw) {
      PyErr_Clear();
      throw py::type_error("x must be an array of real numbers, got " + repr_of(x));
    }
    const py::dtype dtype = py::reinterpret_borrow<py::array>(raw).dtype();
    const char kind = dtype.kind();
    if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
      throw py::type_error(
          "x must hold real numbers, got dtype " + std::string(py::str(py::handle(dtype))) +
          (kind == 'c' ? "; pass x.real if the imaginary part is meant to be dropped" : ""));
    }
  }
  const auto* shape = py::detail::array_proxy(raw.ptr());
  const int ndim = shape->nd;
  const py::ssize_t* dims = shape->dimensions;
  Points points;
  if (ndim == 1) {
    if (dims[0] != n) {
      throw py::value_error("x has " + std::to_string(dims[0]) + " entries, but " + who() +
                            " is set up for n = " + std::to_string(n));
    }
  } else if (ndim == 2) {
    if (dims[1] != n) {
      throw py::value_error("the points in x have " + std::to_string(dims[1]) +
                            " entries each (shape (" + std::to_string(dims[0]) + ", " +
                            std::to_string(dims[1]) + ")), but " + who() +
                            " is set up for n = " + std::to_string(n));
    }
    points.batch = true;
    points.count = dims[0];
  } else {
    throw py::value_error("x must be one point of shape (" + std::to_string(n) +
                          ",) or a batch of shape (N, " + std::to_string(n) + "), got " +
                          std::to_string(ndim) + " dimensions");
  }
  if (!ready) {
    // With forcecast a real dtype always converts, so only an allocation can fail here,
    // and ensure() clears its error.
    raw = PointArray::ensure(raw);
    if (!raw) throw std::bad_alloc();
  }
  points.data = reinterpret_cast<const double*>(py::detail::array_proxy(raw.ptr())->data);
  points.owner = std::move(raw);
  return points;
}

// Table rows by problem number, 1..25.
const kinkbench::MinimaxInfo& minimax_info(int number) {
  return kinkbench::minimax_problems()[static_cast<std::size_t>(number - 1)];
}
const kinkbench::NonsmoothInfo& nonsmooth_info(int number) {
  return kinkbench::nonsmooth_problems()[static_cast<std::size_t>(number - 1)];
}

py::ssize_t packed_length(int n) { return static_cast<py::ssize_t>(n) * (n + 1) / 2; }

// Mirrors the lower triangle of the n x n row-major matrix `a` into its upper triangle,
// no arithmetic on the entries. In tiles, so that the column-wise stores stay in cache
// instead of missing it once per entry.
void mirror_lower(double* a, py::ssize_t n) {
  constexpr py::ssize_t kTile = 32;
  for (py::ssize_t ib = 0; ib < n; ib += kTile) {
    const py::ssize_t iend = std::min(ib + kTile, n);
    for (py::ssize_t jb = 0; jb <= ib; jb += kTile) {
      for (py::ssize_t i = ib; i < iend; ++i) {
        const py::ssize_t jend = std::min(jb + kTile, i);
        for (py::ssize_t j = jb; j < jend; ++j) a[j * n + i] = a[i * n + j];
      }
    }
  }
}

// The dense Hessian in `dense` (n x n), made in place: `fill` writes the packed triangle
// into the last n(n+1)/2 entries, each row then moves forward to its place (row i lands
// at or before where it was, never on the rows after it), and the lower triangle is
// mirrored. No memory beyond the result's. `clear` zeroes the triangle first, for
// routines that write only the entries their problem defines.
template <class Fill>
void dense_hessian(int n, double* dense, bool clear, Fill&& fill) {
  const py::ssize_t size = n;
  const py::ssize_t nn = packed_length(n);
  double* triangle = dense + (size * size - nn);
  if (clear) std::fill_n(triangle, nn, 0.0);
  fill(triangle);
  for (py::ssize_t i = 0; i < size; ++i) {
    std::memmove(dense + i * size, triangle + i * (i + 1) / 2,
                 static_cast<std::size_t>(i + 1) * sizeof(double));
  }
  mirror_lower(dense, size);
}

// Fresh zero-filled float64 array: the minimax routines write only the entries their
// problem defines, so what they leave must be the zeros a caller would expect.
Array zeros(std::vector<py::ssize_t> shape) {
  Array out(std::move(shape));
  std::fill_n(out.mutable_data(), out.size(), 0.0);
  return out;
}

// Fresh float64 array left as the allocator gives it, for results that are written in
// full: values, objectives, and everything of the nonsmooth routines, which clear their
// outputs themselves.
Array fresh(std::vector<py::ssize_t> shape) { return Array(std::move(shape)); }

std::string shape_text(const std::vector<py::ssize_t>& shape) {
  std::string text = "(";
  for (std::size_t i = 0; i < shape.size(); ++i) {
    text += (i > 0 ? ", " : "") + std::to_string(shape[i]);
  }
  return text + (shape.size() == 1 ? ",)" : ")");
}

// The caller's `out` for a result of `shape`: a writeable, C-ordered, aligned, native
// float64 ndarray of exactly that shape, not overlapping the points. Returned as it is,
// so that the result fills memory the caller already has.
Array caller_array(const py::handle& out, const std::vector<py::ssize_t>& shape,
                   const Points& points, int n) {
  if (!py::isinstance<py::array>(out)) {
    throw py::type_error("out must be a numpy array, got " + repr_of(out));
  }
  const auto array = py::reinterpret_borrow<py::array>(out);
  const auto* descr = py::detail::array_descriptor_proxy(py::detail::array_proxy(out.ptr())->descr);
  if (descr->type_num != py::detail::npy_api::NPY_DOUBLE_ || descr->byteorder == '>') {
    throw py::type_error("out must have dtype float64, got " +
                         std::string(py::str(py::handle(array.dtype()))));
  }
  const std::vector<py::ssize_t> got(array.shape(), array.shape() + array.ndim());
  if (got != shape) {
    throw py::value_error("out has shape " + shape_text(got) + ", the result needs " +
                          shape_text(shape));
  }
  constexpr int kFlags = py::detail::npy_api::NPY_ARRAY_C_CONTIGUOUS_ |
                         py::detail::npy_api::NPY_ARRAY_ALIGNED_ |
                         py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  if ((py::detail::array_proxy(out.ptr())->flags & kFlags) != kFlags) {
    throw py::value_error("out must be writeable, C-ordered and aligned");
  }
  const auto* begin = static_cast<const char*>(array.data());
  const auto* end = begin + array.nbytes();
  const auto* x_begin = reinterpret_cast<const char*>(points.data);
  const auto* x_end = x_begin + points.count * n * static_cast<py::ssize_t>(sizeof(double));
  if (begin < x_end && x_begin < end) throw py::value_error("out overlaps the points x");
  return py::reinterpret_borrow<Array>(out);
}

// Runs body(i) for every point, without the GIL for a batch.
template <class Body>
void for_each_point(const Points& points, Body&& body) {
  if (!points.batch) {
    body(py::ssize_t{0});
    return;
  }
  py::gil_scoped_release release;
  for (py::ssize_t i = 0; i < points.count; ++i) body(i);
}

// Hessians of one problem at many points, packed or dense, into `out` when it is not
// None; `packed_at` fills the packed triangle of point i into its argument. `clear`:
// the routine leaves entries it does not define, which must then read 0.
template <class PackedAt>
Array hessians(const Points& points, int n, bool packed, const py::handle& out_object, bool clear,
               PackedAt&& packed_at) {
  const py::ssize_t nn = packed_length(n);
  std::vector<py::ssize_t> shape =
      packed ? std::vector<py::ssize_t>{nn} : std::vector<py::ssize_t>{n, n};
  if (points.batch) shape.insert(shape.begin(), points.count);
  Array out = out_object.is_none() ? fresh(shape) : caller_array(out_object, shape, points, n);
  double* data = out.mutable_data();
  if (packed) {
    for_each_point(points, [&](py::ssize_t i) {
      if (clear) std::fill_n(data + i * nn, nn, 0.0);
      packed_at(i, data + i * nn);
    });
    return out;
  }
  const py::ssize_t size = py::ssize_t{n} * n;
  for_each_point(points, [&](py::ssize_t i) {
    dense_hessian(n, data + i * size, clear, [&](double* triangle) { packed_at(i, triangle); });
  });
  return out;
}

// ---------------------------------------------------------------------------- minimax

class Minimax {
 public:
  Minimax(MinimaxProblem problem, int capacity) : p_(std::move(problem)), capacity_(capacity) {}

  const MinimaxProblem& problem() const { return p_; }
  int capacity() const { return capacity_; }  // as asked for: the set-up keeps only m
  int n() const { return p_.n(); }
  int m() const { return p_.m(); }

  static constexpr const char* kCollection = "minimax";

  int k_argument(const py::handle& object) const {
    const long long k = whole_number(object, "k");
    if (k < 1 || k > m()) {
      throw py::index_error("k = " + say_whole(object) + " is outside 1.." + std::to_string(m()) +
                            ": minimax problem " + std::to_string(p_.number()) +
                            " has m = " + std::to_string(m()) + " partial functions");
    }
    return static_cast<int>(k);
  }

  py::object value(const py::handle& x, const py::handle& k_object) const {
    const int k = k_argument(k_object);
    const Points points = as_points(x, n(), kCollection, p_.number());
    if (!points.batch) {
      double f = 0.0;
      p_.value(k, points.row(0, n()), f);
      return py::float_(f);
    }
    Array out = fresh({points.count});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) { p_.value(k, points.row(i, n()), data[i]); });
    return out;
  }

  Array gradient(const py::handle& x, const py::handle& k_object) const {
    const int k = k_argument(k_object);
    const Points points = as_points(x, n(), kCollection, p_.number());
    Array out = points.batch ? zeros({points.count, py::ssize_t{n()}}) : zeros({n()});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) {
      p_.gradient(k, points.row(i, n()), {data + i * n(), static_cast<std::size_t>(n())});
    });
    return out;
  }

  Array hessian(const py::handle& x, const py::handle& k_object, bool packed,
                const py::handle& out) const {
    const int k = k_argument(k_object);
    const Points points = as_points(x, n(), kCollection, p_.number());
    const auto nn = static_cast<std::size_t>(packed_length(n()));
    return hessians(points, n(), packed, out, true, [&](py::ssize_t i, double* triangle) {
      p_.hessian(k, points.row(i, n()), {triangle, nn});
    });
  }

  Array values(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    Array out = points.batch ? fresh({points.count, py::ssize_t{m()}}) : fresh({m()});
    double* data = out.mutable_data();
    const auto size = static_cast<std::size_t>(m());
    for_each_point(points, [&](py::ssize_t i) {
      p_.values(points.row(i, n()), {data + i * m(), size});
    });
    return out;
  }

  Array jacobian(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    const py::ssize_t mn = py::ssize_t{m()} * n();
    Array out = points.batch ? fresh({points.count, py::ssize_t{m()}, py::ssize_t{n()}})
                             : fresh({py::ssize_t{m()}, py::ssize_t{n()}});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) {
      p_.jacobian(points.row(i, n()), {data + i * mn, static_cast<std::size_t>(mn)});
    });
    return out;
  }

  // objective() and largest(): (value, k) for a point, (values, ks) for a batch.
  template <class Pick>
  py::tuple best(const py::handle& x, Pick pick) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    if (!points.batch) {
      const auto found = pick(points.row(0, n()));
      return py::make_tuple(found.value, found.k);
    }
    Array values_out = fresh({points.count});
    IndexArray ks(points.count);
    double* v = values_out.mutable_data();
    std::int64_t* k = ks.mutable_data();
    for_each_point(points, [&](py::ssize_t i) {
      const auto found = pick(points.row(i, n()));
      v[i] = found.value;
      k[i] = found.k;
    });
    return py::make_tuple(std::move(values_out), std::move(ks));
  }

  py::tuple objective(const py::handle& x) const {
    return best(x, [this](std::span<const double> point) { return p_.objective(point); });
  }
  py::tuple largest(const py::handle& x) const {
    return best(x, [this](std::span<const double> point) { return p_.largest(point); });
  }

 private:
  MinimaxProblem p_;
  int capacity_;
};

py::object make_minimax(const py::handle& number_object, const py::handle& n_object,
                        const py::handle& capacity_object) {
  const int number = problem_number(number_object, "minimax");
  const kinkbench::MinimaxInfo& info = minimax_info(number);
  const int n = size_argument(n_object, "n", info.min_n);
  const int capacity = size_argument(capacity_object, "capacity", info.m);
  auto created = MinimaxProblem::create(number, n, capacity);
  if (!created) throw py::value_error(created.error().message);
  return py::cast(Minimax(std::move(created).value(), capacity));
}

// --------------------------------------------------------------------------- nonsmooth

class Nonsmooth {
 public:
  explicit Nonsmooth(NonsmoothProblem problem) : p_(std::move(problem)) {}

  const NonsmoothProblem& problem() const { return p_; }
  int n() const { return p_.n(); }

  static constexpr const char* kCollection = "nonsmooth";

  py::object value(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    if (!points.batch) {
      double f = 0.0;
      p_.value(points.row(0, n()), f);
      return py::float_(f);
    }
    Array out = fresh({points.count});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) { p_.value(points.row(i, n()), data[i]); });
    return out;
  }

  Array gradient(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    Array out = points.batch ? fresh({points.count, py::ssize_t{n()}}) : fresh({n()});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) {
      p_.gradient(points.row(i, n()), {data + i * n(), static_cast<std::size_t>(n())});
    });
    return out;
  }

  Array hessian(const py::handle& x, bool packed, const py::handle& out) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    const auto nn = static_cast<std::size_t>(packed_length(n()));
    return hessians(points, n(), packed, out, false, [&](py::ssize_t i, double* triangle) {
      p_.hessian(points.row(i, n()), {triangle, nn});
    });
  }

 private:
  NonsmoothProblem p_;
};

py::object make_nonsmooth(const py::handle& number_object, const py::handle& n_object) {
  const int number = problem_number(number_object, "nonsmooth");
  const kinkbench::NonsmoothInfo& info = nonsmooth_info(number);
  const int n = size_argument(n_object, "n", info.min_n);
  auto created = NonsmoothProblem::create(number, n);
  if (!created) throw py::value_error(created.error().message);
  return py::cast(Nonsmooth(std::move(created).value()));
}

Array copy_of(std::span<const double> values) {
  Array out(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), out.mutable_data());
  return out;
}

py::object max_n_of(int max_n) { return max_n == 0 ? py::object(py::none()) : py::int_(max_n); }

// The stored best-known optimum, or None where none is stored for this n.
py::object best_value_of(const kinkbench::BestKnown* best) {
  return best ? py::object(py::float_(best->value)) : py::object(py::none());
}
py::object best_point_of(const kinkbench::BestKnown* best) {
  return best ? py::object(copy_of(best->point)) : py::object(py::none());
}
py::object best_status_of(const kinkbench::BestKnown* best) {
  return best ? py::object(py::str(best->status)) : py::object(py::none());
}

const char* const kBestValueDoc =
    "The best-known value of the objective (in form) at best_point, exactly as the library "
    "computes it; None when none is stored for this n (they are stored at the minimum n).";
const char* const kBestPointDoc =
    "A point attaining best_value, a fresh float64 array of length n; None like best_value.";
const char* const kBestStatusDoc =
    "How far best_value is established: \"certified\", \"closed form\", \"best known\" or "
    "\"local\" (the problem is unbounded below; the local minimum the start leads to).";

// Counts as a dict keyed by the C++ field names, so that the two collections' different
// fields read the same way and a new field needs no new Python type.
py::dict counts_of(const MinimaxProblem::Counts& c) {
  py::dict d;
  d["values"] = c.values;
  d["jacobians"] = c.jacobians;
  d["partial_values"] = c.partial_values;
  d["partial_gradients"] = c.partial_gradients;
  d["partial_hessians"] = c.partial_hessians;
  return d;
}
py::dict counts_of(const NonsmoothProblem::Counts& c) {
  py::dict d;
  d["values"] = c.values;
  d["gradients"] = c.gradients;
  d["hessians"] = c.hessians;
  return d;
}

const char* const kMinimaxCountsDoc =
    "The evaluation calls made on this object since it was created or last reset, as a dict "
    "of ints: \"values\" (values, objective and largest: every f_k at a point at once), "
    "\"jacobians\", and the single-f_k calls \"partial_values\", \"partial_gradients\" and "
    "\"partial_hessians\" (m of them make one evaluation's worth). A batch of N points "
    "counts N; a call that raises counts nothing.";
const char* const kNonsmoothCountsDoc =
    "The evaluation calls made on this object since it was created or last reset, as a dict "
    "of ints: \"values\" (value and objective), \"gradients\", \"hessians\". A batch of N "
    "points counts N; a call that raises counts nothing.";
const char* const kResetCountsDoc =
    "Set the counts to zero and return them as they were (the same dict as counts()); no "
    "call made meanwhile on another thread is lost.";

// The methods take their arguments as bare handles, to check them by hand, and pybind11
// names such an argument "handle" in the signature help() shows: say what it takes. The
// docstring is replaced as pybind11 itself installs it.
void name_handle_arguments(const py::object& cls) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"x: handle", "x: ArrayLike"},
      {"k: handle", "k: int"},
      {"out: handle", "out: numpy.ndarray"}};
  for (const py::handle name : cls.attr("__dict__")) {
    const py::object member = py::getattr(cls, name);
    PyObject* f = member.ptr();
    if (PyInstanceMethod_Check(f)) f = PyInstanceMethod_GET_FUNCTION(f);
    if (!PyCFunction_Check(f)) continue;
    auto* function = reinterpret_cast<PyCFunctionObject*>(f);
    if (function->m_ml->ml_doc == nullptr) continue;
    std::string doc = function->m_ml->ml_doc;
    for (const auto& [from, to] : kNames) {
      for (auto at = doc.find(from); at != std::string::npos; at = doc.find(from, at + to.size()))
        doc.replace(at, from.size(), to);
    }
    if (doc == function->m_ml->ml_doc) continue;
    std::free(const_cast<char*>(function->m_ml->ml_doc));
    function->m_ml->ml_doc = strdup(doc.c_str());
  }
}

// A problem is immutable and set up from (number, n[, capacity]) alone, so a copy is the
// object itself and a pickle is its set-up: the class called with it, as
// kinkbench.minimax() would be. Unpickled, it starts with zero counts.
template <class Problem, class SetUp, class... Arguments>
void copy_and_pickle(const py::module_& module, const char* name, SetUp set_up,
                     py::tuple (*state)(const Problem&), const Arguments&... arguments) {
  auto cls = py::reinterpret_borrow<py::class_<Problem>>(module.attr(name));
  cls.def(py::init(set_up), arguments...,
          "The same set-up as kinkbench.minimax() or kinkbench.nonsmooth(); what a pickle "
          "calls.")
      .def("__copy__", [](const py::object& self) { return self; })
      .def(
          "__deepcopy__", [](const py::object& self, const py::handle&) { return self; },
          py::arg("memo"))
      .def("__reduce__", [state](const py::object& self) {
        return py::make_tuple(py::type::of(self), state(self.cast<const Problem&>()));
      });
}

Minimax minimax_set_up(const py::handle& number_object, const py::handle& n_object,
                       const py::handle& capacity_object) {
  const int number = problem_number(number_object, "minimax");
  const kinkbench::MinimaxInfo& info = minimax_info(number);
  const int n = size_argument(n_object, "n", info.min_n);
  const int capacity = size_argument(capacity_object, "capacity", info.m);
  auto created = MinimaxProblem::create(number, n, capacity);
  if (!created) throw py::value_error(created.error().message);
  return Minimax(std::move(created).value(), capacity);
}

py::tuple minimax_state(const Minimax& s) {
  return py::make_tuple(s.problem().number(), s.n(), s.capacity());
}

Nonsmooth nonsmooth_set_up(const py::handle& number_object, const py::handle& n_object) {
  const int number = problem_number(number_object, "nonsmooth");
  auto created =
      NonsmoothProblem::create(number, size_argument(n_object, "n", nonsmooth_info(number).min_n));
  if (!created) throw py::value_error(created.error().message);
  return Nonsmooth(std::move(created).value());
}

py::tuple nonsmooth_state(const Nonsmooth& s) {
  return py::make_tuple(s.problem().number(), s.n());
}

}  // namespace

void kinkbench_register_recorder(py::module_& module);  // recorder.cpp

PYBIND11_MODULE(_core, module) {
  module.doc() =
      "Compiled core of kinkbench: problem objects over the C++ API. Import kinkbench, not "
      "this module.";
  module.attr("__version__") = KINKBENCH_VERSION;

  py::class_<Minimax>(module, "MinimaxProblem",
                      "A minimax problem: partial functions f_1..f_m of a point x with n "
                      "components.\n\nCreate with kinkbench.minimax(number, n=None, "
                      "capacity=None). Immutable; safe to use from several threads.")
      .def_property_readonly(
          "number", [](const Minimax& s) { return s.problem().number(); }, "Problem number, 1..25.")
      .def_property_readonly(
          "n", [](const Minimax& s) { return s.n(); }, "Number of variables it is set up for.")
      .def_property_readonly(
          "min_n", [](const Minimax& s) { return s.problem().min_n(); },
          "Smallest n the problem accepts.")
      .def_property_readonly(
          "m", [](const Minimax& s) { return s.m(); }, "Number of partial functions f_k.")
      .def_property_readonly(
          "itype", [](const Minimax& s) { return s.problem().itype(); },
          "Objective type: -1 for max f_k, 0 for max |f_k|.")
      .def_property_readonly(
          "fmin", [](const Minimax& s) { return s.problem().fmin(); },
          "Lower bound for the objective given by the set-up.")
      .def_property_readonly(
          "stepmax", [](const Minimax& s) { return s.problem().stepmax(); },
          "Largest step length an optimiser should take.")
      .def_property_readonly(
          "x0", [](const Minimax& s) { return copy_of(s.problem().start()); },
          "The starting point, a fresh float64 array of length n on every access.")
      .def_property_readonly(
          "summary", [](const Minimax& s) { return minimax_info(s.problem().number()).summary; },
          "One line describing the problem.")
      .def_property_readonly(
          "form", [](const Minimax& s) { return s.problem().form(); },
          "The objective's form: \"max f_k\" (itype -1) or \"max |f_k|\" (itype 0).")
      .def_property_readonly(
          "best_value", [](const Minimax& s) { return best_value_of(s.problem().best_known()); },
          kBestValueDoc)
      .def_property_readonly(
          "best_point", [](const Minimax& s) { return best_point_of(s.problem().best_known()); },
          kBestPointDoc)
      .def_property_readonly(
          "best_status", [](const Minimax& s) { return best_status_of(s.problem().best_known()); },
          kBestStatusDoc)
      .def("value", &Minimax::value, py::arg("x"), py::arg("k"),
           "f_k(x) as a float. x may also be a batch of shape (N, n); then an array of "
           "shape (N,).\n\nRaises IndexError for k outside 1..m, ValueError for a point of "
           "the wrong length or dimension, TypeError for non-real input.")
      .def("gradient", &Minimax::gradient, py::arg("x"), py::arg("k"),
           "Gradient of f_k at x, shape (n,); for a batch (N, n), shape (N, n).")
      .def("hessian", &Minimax::hessian, py::arg("x"), py::arg("k"), py::arg("packed") = false,
           py::arg("out") = py::none(),
           "Hessian of f_k at x: dense symmetric (n, n), or with packed=True the lower "
           "triangle by rows, n(n+1)/2 entries. A batch (N, n) gives (N, n, n) or "
           "(N, n(n+1)/2). With out, a writeable C-ordered float64 array of that shape, "
           "the result is written into it and out is returned.")
      .def("values", &Minimax::values, py::arg("x"),
           "All partial functions at x, shape (m,): entry k-1 is f_k(x). A batch (N, n) "
           "gives (N, m).")
      .def("jacobian", &Minimax::jacobian, py::arg("x"),
           "The Jacobian at x, shape (m, n): row k-1 is the gradient of f_k. A batch (N, n) "
           "gives (N, m, n).")
      .def("objective", &Minimax::objective, py::arg("x"),
           "The problem's objective and the first k attaining it, as (value, k): max f_k "
           "for itype -1, max |f_k| for itype 0 (see form). NaN terms are passed over. A "
           "batch (N, n) gives (values, ks), arrays of shape (N,).")
      .def("largest", &Minimax::largest, py::arg("x"),
           "The plain max f_k and the first k attaining it, as (value, k), whatever itype "
           "is. A batch (N, n) gives (values, ks), arrays of shape (N,).")
      .def(
          "counts", [](const Minimax& s) { return counts_of(s.problem().counts()); },
          kMinimaxCountsDoc)
      .def(
          "reset_counts", [](const Minimax& s) { return counts_of(s.problem().reset_counts()); },
          kResetCountsDoc)
      .def("__repr__", [](const Minimax& s) {
        return "kinkbench.minimax(" + std::to_string(s.problem().number()) +
               ", n=" + std::to_string(s.n()) + ")";
      });

  py::class_<Nonsmooth>(module, "NonsmoothProblem",
                        "A nonsmooth problem: one objective f of a point x with n "
                        "components, with kinks.\n\nCreate with kinkbench.nonsmooth(number, "
                        "n=None). Immutable; safe to use from several threads.")
      .def_property_readonly(
          "number", [](const Nonsmooth& s) { return s.problem().number(); },
          "Problem number, 1..25.")
      .def_property_readonly(
          "n", [](const Nonsmooth& s) { return s.n(); }, "Number of variables it is set up for.")
      .def_property_readonly(
          "min_n", [](const Nonsmooth& s) { return s.problem().min_n(); },
          "Smallest n the problem accepts.")
      .def_property_readonly(
          "max_n",
          [](const Nonsmooth& s) { return max_n_of(nonsmooth_info(s.problem().number()).max_n); },
          "Largest n the problem accepts, or None when there is no limit.")
      .def_property_readonly(
          "fmin", [](const Nonsmooth& s) { return s.problem().fmin(); },
          "Lower bound for the objective given by the set-up.")
      .def_property_readonly(
          "stepmax", [](const Nonsmooth& s) { return s.problem().stepmax(); },
          "Largest step length an optimiser should take.")
      .def_property_readonly(
          "x0", [](const Nonsmooth& s) { return copy_of(s.problem().start()); },
          "The starting point, a fresh float64 array of length n on every access.")
      .def_property_readonly(
          "summary",
          [](const Nonsmooth& s) { return nonsmooth_info(s.problem().number()).summary; },
          "One line describing the problem.")
      .def_property_readonly(
          "form", [](const Nonsmooth&) { return "f"; }, "The objective's form: always \"f\".")
      .def_property_readonly(
          "best_value", [](const Nonsmooth& s) { return best_value_of(s.problem().best_known()); },
          kBestValueDoc)
      .def_property_readonly(
          "best_point", [](const Nonsmooth& s) { return best_point_of(s.problem().best_known()); },
          kBestPointDoc)
      .def_property_readonly(
          "best_status",
          [](const Nonsmooth& s) { return best_status_of(s.problem().best_known()); },
          kBestStatusDoc)
      .def("value", &Nonsmooth::value, py::arg("x"),
           "f(x) as a float. x may also be a batch of shape (N, n); then an array of shape "
           "(N,).\n\nRaises ValueError for a point of the wrong length or dimension, "
           "TypeError for non-real input.")
      .def("objective", &Nonsmooth::value, py::arg("x"),
           "The objective f(x); the same as value(x), so that code can treat both "
           "collections alike.")
      .def("gradient", &Nonsmooth::gradient, py::arg("x"),
           "Gradient at x (of the piece the tie rules choose at a kink), shape (n,); for a "
           "batch (N, n), shape (N, n).")
      .def("hessian", &Nonsmooth::hessian, py::arg("x"), py::arg("packed") = false,
           py::arg("out") = py::none(),
           "Hessian at x: dense symmetric (n, n), or with packed=True the lower triangle by "
           "rows, n(n+1)/2 entries. A batch (N, n) gives (N, n, n) or (N, n(n+1)/2). With "
           "out, a writeable C-ordered float64 array of that shape, the result is written "
           "into it and out is returned.")
      .def(
          "counts", [](const Nonsmooth& s) { return counts_of(s.problem().counts()); },
          kNonsmoothCountsDoc)
      .def(
          "reset_counts", [](const Nonsmooth& s) { return counts_of(s.problem().reset_counts()); },
          kResetCountsDoc)
      .def("__repr__", [](const Nonsmooth& s) {
        return "kinkbench.nonsmooth(" + std::to_string(s.problem().number()) +
               ", n=" + std::to_string(s.n()) + ")";
      });

  name_handle_arguments(module.attr("MinimaxProblem"));
  name_handle_arguments(module.attr("NonsmoothProblem"));

  // The arguments are taken as handles to check them by hand; the signature help() shows
  // is written out, since pybind11 would name them "handle".
  py::options signatures;
  signatures.disable_function_signatures();
  copy_and_pickle<Minimax>(module, "MinimaxProblem", &minimax_set_up, &minimax_state,
                           py::arg("number"), py::arg("n") = py::none(),
                           py::arg("capacity") = py::none());
  copy_and_pickle<Nonsmooth>(module, "NonsmoothProblem", &nonsmooth_set_up, &nonsmooth_state,
                             py::arg("number"), py::arg("n") = py::none());

  module.def("minimax", &make_minimax, py::arg("number"), py::arg("n") = py::none(),
             py::arg("capacity") = py::none(),
             "minimax(number: int, n: int | None = None, capacity: int | None = None) "
             "-> MinimaxProblem\n\n"
             "Set up minimax problem `number` (1..25) for n variables (default: the "
             "problem's minimum) and a capacity of partial functions (default: m).\n\n"
             "Raises ValueError when the set-up is rejected (n below the minimum, capacity "
             "below m) or the number is outside 1..25, TypeError for a non-integer number.");
  module.def("nonsmooth", &make_nonsmooth, py::arg("number"), py::arg("n") = py::none(),
             "nonsmooth(number: int, n: int | None = None) -> NonsmoothProblem\n\n"
             "Set up nonsmooth problem `number` (1..25) for n variables (default: the "
             "problem's minimum).\n\nRaises ValueError when the set-up is rejected (n below "
             "the minimum, or above the maximum of problems 16 and 21) or the number is "
             "outside 1..25, TypeError for a non-integer number.");
  signatures.enable_function_signatures();

  module.def(
      "_minimax_table",
      [] {
        py::list rows;
        for (const auto& row : kinkbench::minimax_problems()) {
          // The form is a property of the set-up; ask a problem set up at its minimum.
          const auto problem = MinimaxProblem::create(row.number, row.min_n, row.m);
          if (!problem) throw std::logic_error(problem.error().message);
          rows.append(py::make_tuple(row.number, row.min_n, row.m, row.itype, problem->form(),
                                     row.fmin, row.stepmax, row.summary));
        }
        return rows;
      },
      "Rows (number, min_n, m, itype, form, fmin, stepmax, summary) of the minimax table.");
  module.def(
      "_nonsmooth_table",
      [] {
        py::list rows;
        for (const auto& row : kinkbench::nonsmooth_problems()) {
          rows.append(py::make_tuple(row.number, row.min_n, max_n_of(row.max_n), row.fmin,
                                     row.stepmax, row.summary));
        }
        return rows;
      },
      "Rows (number, min_n, max_n, fmin, stepmax, summary) of the nonsmooth table.");
  kinkbench_python::bind_pieces(module);
  kinkbench_register_recorder(module);
}
