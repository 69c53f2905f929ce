// The same requests Vessel.allocate makes, in a plain C++ loop.
#include "RequestTiming.h"

#include <chrono>

#include "Vessel.h"

namespace kestrom_python {

double timeRequests(pybind11::handle scenario, const std::vector<std::array<double, 3>>& demands) {
    const Vessel vessel(scenario);
    kestrom_sim::TableSession session(vessel.scenario());
    allocProblem problem;
    pybind11::gil_scoped_release released;
    const auto start = std::chrono::steady_clock::now();
    for (const std::array<double, 3>& demand : demands) {
        session.request(demand, problem);
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(end - start).count();
}

}  // namespace kestrom_python
