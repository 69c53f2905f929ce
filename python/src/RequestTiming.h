// The requests of a Vessel timed in C++ alone, so that the module's own cost per call can be
// told apart from the pipeline's (python/bench_allocate.py).
#pragma once

#include <array>
#include <vector>

#include <pybind11/pybind11.h>

namespace kestrom_python {

// Seconds for the demands, one request each, on a fresh table of the scenario.
double timeRequests(pybind11::handle scenario, const std::vector<std::array<double, 3>>& demands);

}  // namespace kestrom_python
