// The capability envelope of the table a Vessel was built from, as the capability command
// computes it.
#include "Capability.h"

#include <cmath>
#include <exception>
#include <limits>

#include <pybind11/numpy.h>

namespace py = pybind11;

namespace kestrom_python {

namespace {

constexpr const char* kScenarioName = "scenario";

}  // namespace

py::dict capability(const Vessel& vessel, kestrom_sim::CapabilityOptions options,
                    py::object progress) {
    // The envelope calls back from its worker threads, one call at a time.
    std::exception_ptr raised;
    if (!progress.is_none()) {
        options.progress = [&progress, &raised](int done, int total) {
            py::gil_scoped_acquire acquired;
            if (raised) {
                return;
            }
            try {
                progress(done, total);
            } catch (const py::error_already_set&) {
                raised = std::current_exception();
            }
        };
    }
    kestrom_sim::CapabilityEnvelope envelope;
    try {
        {
            py::gil_scoped_release released;
            envelope = kestrom_sim::capabilityEnvelope(vessel.scenario(), options);
        }
        if (raised) {
            std::rethrow_exception(raised);
        }
    } catch (const kestrom_sim::CapabilityInputError& e) {
        // As the command names them: a row by the scenario it belongs to ("FILE: KEY:
        // PROBLEM"), an option by itself, here the keyword ("directions", not "--directions").
        const std::string& key = e.key();
        const bool option = key.rfind("--", 0) == 0;
        throw py::value_error((option ? key.substr(2) : kScenarioName + (": " + key)) + ": " +
                              e.what());
    }
    const py::ssize_t count = static_cast<py::ssize_t>(envelope.directions.size());
    py::array_t<double> angle(count);
    py::array_t<double> allocation(count);
    py::array_t<double> physical(count);
    py::array_t<double> optimal(count);
    py::list metAbove;
    for (py::ssize_t i = 0; i < count; ++i) {
        const kestrom_sim::DirectionCapability& d =
            envelope.directions[static_cast<std::size_t>(i)];
        angle.mutable_at(i) = d.angle;
        allocation.mutable_at(i) = d.allocation.value_or(std::numeric_limits<double>::quiet_NaN());
        physical.mutable_at(i) = d.physical;
        optimal.mutable_at(i) = d.optimal.value_or(std::numeric_limits<double>::quiet_NaN());
        metAbove.append(
            py::array_t<double>(static_cast<py::ssize_t>(d.metAbove.size()), d.metAbove.data()));
    }
    using namespace py::literals;
    return py::dict("moment"_a = envelope.moment, "angle"_a = angle, "allocation"_a = allocation,
                    "physical"_a = physical, "optimal"_a = optimal, "metAbove"_a = metAbove);
}

}  // namespace kestrom_python
