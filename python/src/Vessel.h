// kestrom.Vessel: a scenario's thruster table, allocated one demand after the other the way
// `kestrom-sim run` feeds the plug-in, each request computed by the channel type's own
// request cycle and allocator (the default one or the optimal one).
#pragma once

#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include <pybind11/pybind11.h>

#include "allocation/allocProblem.h"
#include "scenario/AllocatorKind.h"
#include "scenario/Scenario.h"
#include "scenario/TableSession.h"

namespace kestrom_python {

// allocate's timeout ran out (TimeoutError in Python).
class RequestTimedOut : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Vessel {
  public:
    // Throws InputError (ValueError in Python) with the run command's text; ValueError for an
    // allocator other than "default" and "optimal".
    explicit Vessel(pybind11::handle scenario, const std::string& allocator = "default");

    // One request; the table keeps what it publishes for the next one, as the host's does.
    // With a timeout (seconds) the request runs on a copy of the table and throws
    // RequestTimedOut when it has not ended in time: the table stays as it was.
    kestrom_sim::SessionResult allocate(pybind11::handle demand, double tolerance,
                                        std::optional<double> timeout);
    // N requests in a row (an N x 3 array of demands): a dict of arrays with N rows.
    pybind11::dict allocateSeries(pybind11::handle demands, double tolerance);

    // The table as the scenario gave it, before any request.
    const kestrom_sim::Scenario& scenario() const { return scenario_; }

  private:
    // Warns, as the command line does, what one request may cost (barring), at every request.
    void warnRequestCost() const;

    kestrom_sim::Scenario scenario_;
    kestrom_sim::AllocatorKind allocator_;
    std::optional<std::string> requestCostWarning_;
    kestrom_sim::TableSession session_;
    allocProblem problem_;
    // One request at a time per vessel: the GIL is released while it computes.
    std::mutex busy_;
};

// The vessel behind a Python argument; throws TypeError for anything but a Vessel, and for a
// Vessel whose __init__ never ran (Vessel.__new__(Vessel) holds unconstructed memory).
Vessel& usable(pybind11::handle vessel);

// Registers Vessel and its result type.
void addVessel(pybind11::module_& module);

}  // namespace kestrom_python
