// The decomposition of every problem from Python: pieces(x), active(x, eps) and
// stationarity(x, eps) as methods of MinimaxProblem and NonsmoothProblem. Every number
// comes from kinkbench::Pieces; this file checks arguments and lays results out.
#include "pieces.hpp"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "kinkbench/pieces.hpp"

namespace py = pybind11;

namespace kinkbench_python {
namespace {

using kinkbench::Pieces;
using kinkbench::PieceWorkspace;
using Array = py::array_t<double, py::array::c_style>;
using PointArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The problem behind a Python object, rebuilt from its number and n (a set-up is cheap
// next to a Python call, and the object then needs no access to the other binding's
// types).
Pieces pieces_of(const py::object& self, bool minimax) {
  const int number = self.attr("number").cast<int>();
  const int n = self.attr("n").cast<int>();
  if (minimax) {
    const auto p = kinkbench::MinimaxProblem::create(number, n, self.attr("m").cast<int>());
    if (!p) throw py::value_error(p.error().message);
    return Pieces(*p);
  }
  const auto p = kinkbench::NonsmoothProblem::create(number, n);
  if (!p) throw py::value_error(p.error().message);
  return Pieces(*p);
}

struct Points {
  PointArray array;
  bool batch;
  py::ssize_t count;
  std::span<const double> row(py::ssize_t i, int n) const {
    return {array.data() + i * n, static_cast<size_t>(n)};
  }
};

Points points_of(const py::object& x, int n) {
  PointArray a = PointArray::ensure(x);
  if (!a) {
    PyErr_Clear();
    throw py::type_error("x must be real numbers, got " + std::string(py::repr(x)));
  }
  if (a.ndim() == 1 && a.shape(0) == n) return {a, false, 1};
  if (a.ndim() == 2 && a.shape(1) == n) return {a, true, a.shape(0)};
  std::string shape;
  for (py::ssize_t d = 0; d < a.ndim(); ++d) {
    shape += (d ? ", " : "") + std::to_string(a.shape(d));
  }
  throw py::value_error("x must have shape (" + std::to_string(n) + ",) or (N, " +
                        std::to_string(n) + "), got (" + shape + ")");
}

double eps_of(const py::object& eps) {
  const double e = eps.cast<double>();
  if (!(e >= 0)) throw py::value_error("eps must be >= 0, got " + std::string(py::repr(eps)));
  return e;
}

py::list names_of(const Pieces& p) {
  py::list names;
  for (int i = 0; i < p.piece_count(); ++i) names.append(p.name(i));
  return names;
}

py::array_t<int> groups_of(const Pieces& p) {
  py::array_t<int> g(p.piece_count());
  for (int i = 0; i < p.piece_count(); ++i) g.mutable_at(i) = p.group_of(i);
  return g;
}

py::dict pieces(const py::object& self, const py::object& x, bool minimax) {
  const Pieces p = pieces_of(self, minimax);
  const int n = p.n();
  const py::ssize_t np = p.piece_count();
  const Points pts = points_of(x, n);
  const py::ssize_t count = pts.count;
  Array s(count), ds({count, py::ssize_t(n)}), phi({count, np}), dphi({count, np, py::ssize_t(n)});
  {
    py::gil_scoped_release release;
    for (py::ssize_t r = 0; r < count; ++r) {
      p.evaluate(pts.row(r, n), s.mutable_data()[r], {ds.mutable_data() + r * n, size_t(n)},
                 {phi.mutable_data() + r * np, size_t(np)},
                 {dphi.mutable_data() + r * np * n, size_t(np * n)});
    }
  }
  py::dict d;
  d["names"] = names_of(p);
  d["groups"] = groups_of(p);
  if (pts.batch) {
    d["s"] = s;
    d["ds"] = ds;
    d["values"] = phi;
    d["gradients"] = dphi;
  } else {
    d["s"] = py::float_(s.at(0));
    d["ds"] = ds.attr("reshape")(n);
    d["values"] = phi.attr("reshape")(np);
    d["gradients"] = dphi.attr("reshape")(np, n);
  }
  return d;
}

py::dict activity(const Pieces& p, const PieceWorkspace& ws) {
  const int n = p.n();
  py::list names, index, group;
  std::vector<int> act;
  for (int i = 0; i < p.piece_count(); ++i) {
    if (!ws.is_active(i)) continue;
    act.push_back(i);
    names.append(p.name(i));
    index.append(i);
    group.append(p.group_of(i));
  }
  Array values(py::ssize_t(act.size())), grads({py::ssize_t(act.size()), py::ssize_t(n)});
  for (size_t a = 0; a < act.size(); ++a) {
    values.mutable_at(py::ssize_t(a)) = ws.values()[size_t(act[a])];
    const auto g = ws.gradient(act[a]);
    for (int j = 0; j < n; ++j) grads.mutable_at(py::ssize_t(a), j) = g[size_t(j)];
  }
  Array top(p.group_count());
  for (int g = 1; g <= p.group_count(); ++g) top.mutable_at(g - 1) = ws.group_max(g);
  Array ds(n);
  for (int j = 0; j < n; ++j) ds.mutable_at(j) = ws.smooth_gradient()[size_t(j)];
  py::dict d;
  d["names"] = names;
  d["indices"] = index;
  d["groups"] = group;
  d["values"] = values;
  d["gradients"] = grads;
  d["group_max"] = top;
  d["s"] = ws.smooth();
  d["ds"] = ds;
  return d;
}

py::object active(const py::object& self, const py::object& x, const py::object& eps,
                  bool minimax) {
  const Pieces p = pieces_of(self, minimax);
  const Points pts = points_of(x, p.n());
  const double e = eps_of(eps);
  PieceWorkspace ws(p);
  py::list out;
  for (py::ssize_t r = 0; r < pts.count; ++r) {
    p.active(pts.row(r, p.n()), e, ws);
    out.append(activity(p, ws));
  }
  if (!pts.batch) return out[0];
  return out;
}

py::dict stationarity(const py::object& self, const py::object& x, const py::object& eps,
                      bool minimax) {
  const Pieces p = pieces_of(self, minimax);
  const int n = p.n();
  const py::ssize_t np = p.piece_count();
  const Points pts = points_of(x, n);
  const double e = eps_of(eps);
  const py::ssize_t count = pts.count;
  Array norm(count), gap(count), lambda({count, np}), element({count, py::ssize_t(n)});
  py::array_t<bool> converged(count);
  py::array_t<int> iterations(count);
  PieceWorkspace ws(p);
  {
    py::gil_scoped_release release;
    for (py::ssize_t r = 0; r < count; ++r) {
      const auto st =
          p.stationarity(pts.row(r, n), e, ws, {lambda.mutable_data() + r * np, size_t(np)},
                         {element.mutable_data() + r * n, size_t(n)});
      norm.mutable_data()[r] = st.norm;
      gap.mutable_data()[r] = st.gap;
      converged.mutable_data()[r] = st.converged;
      iterations.mutable_data()[r] = st.iterations;
    }
  }
  py::dict d;
  d["names"] = names_of(p);
  if (pts.batch) {
    d["norm"] = norm;
    d["gap"] = gap;
    d["converged"] = converged;
    d["iterations"] = iterations;
    d["multipliers"] = lambda;
    d["element"] = element;
  } else {
    d["norm"] = py::float_(norm.at(0));
    d["gap"] = py::float_(gap.at(0));
    d["converged"] = py::bool_(converged.at(0));
    d["iterations"] = py::int_(iterations.at(0));
    d["multipliers"] = lambda.attr("reshape")(np);
    d["element"] = element.attr("reshape")(n);
    d["active"] = activity(p, ws)["names"];
  }
  return d;
}

const char* const kPiecesDoc =
    "The decomposition f(x) = s(x) + sum over groups of max of the group's pieces, at x: a "
    "dict with \"names\" (list, one per piece), \"groups\" (int array: each piece's group, "
    "1..G), \"s\", \"ds\" (shape (n,)), \"values\" (P,) and \"gradients\" (P, n). A batch "
    "(N, n) gives s (N,), ds (N, n), values (N, P), gradients (N, P, n). See "
    "docs/kinks.md.";
const char* const kActiveDoc =
    "The pieces with value >= their group's maximum - eps at x (eps >= 0), as a dict: "
    "\"names\", \"indices\" and \"groups\" (lists), \"values\" (k,), \"gradients\" (k, n), "
    "\"group_max\" (G,), \"s\" and \"ds\". A batch (N, n) gives a list of N such dicts.";
const char* const kStationarityDoc =
    "The least-norm element of grad s + sum over groups of the convex hull of the gradients "
    "of the pieces active within eps, as a dict: \"norm\", \"gap\" (a certificate: "
    "|z - z*|^2 <= gap), \"converged\", \"iterations\", \"multipliers\" (P,; summing to 1 "
    "per group, 0 off the active pieces), \"element\" (n,), \"active\" (names) and "
    "\"names\". A batch (N, n) gives arrays: norm (N,), multipliers (N, P), element (N, n).";

}  // namespace

void bind_pieces(py::module_& module) {
  for (const char* name : {"MinimaxProblem", "NonsmoothProblem"}) {
    const bool minimax = std::string(name) == "MinimaxProblem";
    py::object cls = module.attr(name);
    cls.attr("pieces") = py::cpp_function(
        [minimax](const py::object& self, const py::object& x) { return pieces(self, x, minimax); },
        py::name("pieces"), py::is_method(cls), py::arg("x"), kPiecesDoc);
    cls.attr("active") = py::cpp_function(
        [minimax](const py::object& self, const py::object& x, const py::object& eps) {
          return active(self, x, eps, minimax);
        },
        py::name("active"), py::is_method(cls), py::arg("x"), py::arg("eps") = 0.0, kActiveDoc);
    cls.attr("stationarity") = py::cpp_function(
        [minimax](const py::object& self, const py::object& x, const py::object& eps) {
          return stationarity(self, x, eps, minimax);
        },
        py::name("stationarity"), py::is_method(cls), py::arg("x"), py::arg("eps") = 0.0,
        kStationarityDoc);
  }
}

}  // namespace kinkbench_python
