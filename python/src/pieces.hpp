// Adds pieces(), active() and stationarity() to the problem classes already registered.
#pragma once

#include <pybind11/pybind11.h>

namespace kinkbench_python {

void bind_pieces(pybind11::module_& module);

}  // namespace kinkbench_python
