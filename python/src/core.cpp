// The compiled half of the Python package: thin wrappers over the C++ problem objects.
// Every number comes from a C++ call; this file only checks arguments, converts points
// to float64 once, lays results out in fresh arrays and releases the GIL for batches.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
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
struct Points {
  PointArray array;
  bool batch = false;
  py::ssize_t count = 1;

  std::span<const double> row(py::ssize_t i, int n) const {
    return {array.data() + i * n, static_cast<std::size_t>(n)};
  }
};

// `who` names the problem in messages, e.g. "minimax problem 7"; built only on error.
Points as_points(const py::handle& x, int n, const char* collection, int number) {
  const auto who = [&] { return std::string(collection) + " problem " + std::to_string(number); };
  // Fast path, the common case: a C-ordered float64 array is used as it is.
  py::array raw;
  if (PointArray::check_(x)) {
    raw = py::reinterpret_borrow<py::array>(x);
  } else {
    raw =
        py::isinstance<py::array>(x) ? py::reinterpret_borrow<py::array>(x) : py::array::ensure(x);
    if (!raw) {
      PyErr_Clear();
      throw py::type_error("x must be an array of real numbers, got " + repr_of(x));
    }
    const char kind = raw.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b') {
      throw py::type_error(
          "x must hold real numbers, got dtype " + std::string(py::str(raw.dtype())) +
          (kind == 'c' ? "; pass x.real if the imaginary part is meant to be dropped" : ""));
    }
  }
  Points points;
  if (raw.ndim() == 1) {
    if (raw.shape(0) != n) {
      throw py::value_error("x has " + std::to_string(raw.shape(0)) + " entries, but " + who() +
                            " is set up for n = " + std::to_string(n));
    }
  } else if (raw.ndim() == 2) {
    if (raw.shape(1) != n) {
      throw py::value_error("the points in x have " + std::to_string(raw.shape(1)) +
                            " entries each (shape (" + std::to_string(raw.shape(0)) + ", " +
                            std::to_string(raw.shape(1)) + ")), but " + who() +
                            " is set up for n = " + std::to_string(n));
    }
    points.batch = true;
    points.count = raw.shape(0);
  } else {
    throw py::value_error("x must be one point of shape (" + std::to_string(n) +
                          ",) or a batch of shape (N, " + std::to_string(n) + "), got " +
                          std::to_string(raw.ndim()) + " dimensions");
  }
  // With forcecast a real dtype always converts, so only an allocation can fail here,
  // and ensure() clears its error.
  points.array = PointArray::ensure(raw);
  if (!points.array) throw std::bad_alloc();
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

// Dense symmetric copy of a packed lower triangle (rows), no arithmetic on the entries.
void unpack(const double* packed, int n, double* dense) {
  py::ssize_t at = 0;
  for (py::ssize_t i = 0; i < n; ++i) {
    for (py::ssize_t j = 0; j <= i; ++j, ++at) {
      dense[i * n + j] = packed[at];
      dense[j * n + i] = packed[at];
    }
  }
}

// Fresh zero-filled float64 array: the minimax routines write only the entries their
// problem defines, so what they leave must be the zeros a caller would expect.
Array zeros(std::vector<py::ssize_t> shape) {
  Array out(std::move(shape));
  std::fill_n(out.mutable_data(), out.size(), 0.0);
  return out;
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

// Hessians of one problem at many points, packed or dense; `packed_at` fills the packed
// triangle of point i into its argument.
template <class PackedAt>
Array hessians(const Points& points, int n, bool packed, PackedAt&& packed_at) {
  const py::ssize_t nn = packed_length(n);
  if (packed) {
    Array out = points.batch ? zeros({points.count, nn}) : zeros({nn});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) { packed_at(i, data + i * nn); });
    return out;
  }
  Array out = points.batch ? zeros({points.count, py::ssize_t{n}, py::ssize_t{n}})
                           : zeros({py::ssize_t{n}, py::ssize_t{n}});
  double* data = out.mutable_data();
  for_each_point(points, [&](py::ssize_t i) {
    std::vector<double> triangle(static_cast<std::size_t>(nn), 0.0);
    packed_at(i, triangle.data());
    unpack(triangle.data(), n, data + i * n * n);
  });
  return out;
}

// ---------------------------------------------------------------------------- minimax

class Minimax {
 public:
  explicit Minimax(MinimaxProblem problem) : p_(std::move(problem)) {}

  const MinimaxProblem& problem() const { return p_; }
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
    Array out = zeros({points.count});
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

  Array hessian(const py::handle& x, const py::handle& k_object, bool packed) const {
    const int k = k_argument(k_object);
    const Points points = as_points(x, n(), kCollection, p_.number());
    const auto nn = static_cast<std::size_t>(packed_length(n()));
    return hessians(points, n(), packed, [&](py::ssize_t i, double* triangle) {
      p_.hessian(k, points.row(i, n()), {triangle, nn});
    });
  }

  Array values(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    Array out = points.batch ? zeros({points.count, py::ssize_t{m()}}) : zeros({m()});
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
    Array out = points.batch ? zeros({points.count, py::ssize_t{m()}, py::ssize_t{n()}})
                             : zeros({py::ssize_t{m()}, py::ssize_t{n()}});
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
    Array values_out = zeros({points.count});
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
};

py::object make_minimax(const py::handle& number_object, const py::handle& n_object,
                        const py::handle& capacity_object) {
  const int number = problem_number(number_object, "minimax");
  const kinkbench::MinimaxInfo& info = minimax_info(number);
  const int n = size_argument(n_object, "n", info.min_n);
  const int capacity = size_argument(capacity_object, "capacity", info.m);
  auto created = MinimaxProblem::create(number, n, capacity);
  if (!created) throw py::value_error(created.error().message);
  return py::cast(Minimax(std::move(created).value()));
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
    Array out = zeros({points.count});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) { p_.value(points.row(i, n()), data[i]); });
    return out;
  }

  Array gradient(const py::handle& x) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    Array out = points.batch ? zeros({points.count, py::ssize_t{n()}}) : zeros({n()});
    double* data = out.mutable_data();
    for_each_point(points, [&](py::ssize_t i) {
      p_.gradient(points.row(i, n()), {data + i * n(), static_cast<std::size_t>(n())});
    });
    return out;
  }

  Array hessian(const py::handle& x, bool packed) const {
    const Points points = as_points(x, n(), kCollection, p_.number());
    const auto nn = static_cast<std::size_t>(packed_length(n()));
    return hessians(points, n(), packed, [&](py::ssize_t i, double* triangle) {
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

}  // namespace

PYBIND11_MODULE(_core, module) {
  module.doc() =
      "Compiled core of kinkbench: problem objects over the C++ API. Import kinkbench, not "
      "this module.";

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
           "Hessian of f_k at x: dense symmetric (n, n), or with packed=True the lower "
           "triangle by rows, n(n+1)/2 entries. A batch (N, n) gives (N, n, n) or "
           "(N, n(n+1)/2).")
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
           "Hessian at x: dense symmetric (n, n), or with packed=True the lower triangle by "
           "rows, n(n+1)/2 entries. A batch (N, n) gives (N, n, n) or (N, n(n+1)/2).")
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

  module.def("minimax", &make_minimax, py::arg("number"), py::arg("n") = py::none(),
             py::arg("capacity") = py::none(),
             "Set up minimax problem `number` (1..25) for n variables (default: the "
             "problem's minimum) and a capacity of partial functions (default: m).\n\n"
             "Raises ValueError when the set-up is rejected (n below the minimum, capacity "
             "below m) or the number is outside 1..25, TypeError for a non-integer number.");
  module.def("nonsmooth", &make_nonsmooth, py::arg("number"), py::arg("n") = py::none(),
             "Set up nonsmooth problem `number` (1..25) for n variables (default: the "
             "problem's minimum).\n\nRaises ValueError when the set-up is rejected (n below "
             "the minimum, or above the maximum of problems 16 and 21) or the number is "
             "outside 1..25, TypeError for a non-integer number.");

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
}
