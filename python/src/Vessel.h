// kestrom.Vessel: a scenario's thruster table, allocated one demand after the other the way
// `kestrom-sim run` feeds the plug-in, each request computed by the channel's own steps.
#pragma once

#include <mutex>

#include <pybind11/pybind11.h>

#include "allocation/allocProblem.h"
#include "scenario/Scenario.h"
#include "scenario/TableSession.h"

namespace kestrom_python {

class Vessel {
  public:
    // Throws InputError (ValueError in Python) with the run command's text.
    explicit Vessel(pybind11::handle scenario);

    // One request; the table keeps what it publishes for the next one, as the host's does.
    kestrom_sim::SessionResult allocate(pybind11::handle demand, double tolerance);
    // N requests in a row (an N x 3 array of demands): a dict of arrays with N rows.
    pybind11::dict allocateSeries(pybind11::handle demands, double tolerance);

    // The table as the scenario gave it, before any request.
    const kestrom_sim::Scenario& scenario() const { return scenario_; }

  private:
    kestrom_sim::Scenario scenario_;
    kestrom_sim::TableSession session_;
    allocProblem problem_;
    // One request at a time per vessel: the GIL is released while it computes.
    std::mutex busy_;
};

// Registers Vessel and its result type.
void addVessel(pybind11::module_& module);

}  // namespace kestrom_python
