// The floor of python/bench/benchmark.py: what a pybind11 method costs that takes the
// same point argument as a problem's value(x, k), a C-ordered float64 array_t, and an
// int, and does nothing but return a float.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace {

struct Empty {};

}  // namespace

PYBIND11_MODULE(_kinkbench_floor, module) {
  py::class_<Empty>(module, "Empty")
      .def(py::init<>())
      .def(
          "value",
          [](const Empty&, const py::array_t<double, py::array::c_style | py::array::forcecast>&,
             int) { return 0.0; },
          py::arg("x"), py::arg("k"));
}
