// kestrom.solve(problem): one allocation of a problem in the solve command's format.
#pragma once

#include <pybind11/pybind11.h>

namespace kestrom_python {

// The solve command's result document as a dict: {"total", "thrusters"} or {"error"}.
pybind11::dict solve(pybind11::handle problem, bool reference);

}  // namespace kestrom_python
