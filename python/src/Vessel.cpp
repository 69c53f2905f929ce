// The Vessel class and the result of one request, with numpy views made when read.
#include "Vessel.h"

#include <cfloat>
#include <cmath>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "PythonJson.h"
#include "scenario/JsonInput.h"

namespace py = pybind11;
using kestrom_sim::SessionResult;

namespace kestrom_python {

namespace {

// Messages name the inputs as the command line names its file.
constexpr const char* kScenarioName = "scenario";
constexpr const char* kAllocateName = "allocate";
constexpr const char* kDemandName = "demand";

kestrom_sim::Scenario parsedScenario(py::handle scenario) {
    const nlohmann::json document = toJson(scenario, kScenarioName, NonFinite::number);
    return kestrom_sim::parseScenario(kestrom_sim::JsonField(document, kScenarioName),
                                      kScenarioName, false);
}

bool plainNumber(double value) {
    return std::isfinite(value) && std::fabs(value) <= FLT_MAX;
}

// The common demands (a list or tuple of 3 floats, a numpy float64 vector of 3) taken without
// the detour through JSON, when every value is one the scenario parser accepts. Anything
// else goes through the parser, which words the problem.
bool takePlainDemand(py::handle demand, kestrom_sim::Demand& out) {
    PyObject* object = demand.ptr();
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        if (PySequence_Fast_GET_SIZE(object) != 3) {
            return false;
        }
        PyObject** items = PySequence_Fast_ITEMS(object);
        for (std::size_t k = 0; k < 3; ++k) {
            if (!PyFloat_CheckExact(items[k])) {
                return false;
            }
            out[k] = PyFloat_AS_DOUBLE(items[k]);
        }
    } else if (py::isinstance<py::array_t<double>>(demand)) {
        const auto array = py::reinterpret_borrow<py::array_t<double>>(demand);
        if (array.ndim() != 1 || array.shape(0) != 3) {
            return false;
        }
        for (py::ssize_t k = 0; k < 3; ++k) {
            out[static_cast<std::size_t>(k)] = array.at(k);
        }
    } else {
        return false;
    }
    return plainNumber(out[0]) && plainNumber(out[1]) && plainNumber(out[2]);
}

template <class T, std::size_t N>
py::array_t<T> array(const std::array<T, N>& values) {
    return py::array_t<T>(static_cast<py::ssize_t>(N), values.data());
}

py::array_t<double> triple(const forceMom& f) {
    return array(std::array<double, 3>{f.fwd, f.swd, f.rot});
}

template <float kestrom_sim::PublishedCells::*member>
py::array_t<float> cells(const SessionResult& r) {
    py::array_t<float> out(static_cast<py::ssize_t>(r.rows.size()));
    float* data = out.mutable_data();
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        data[i] = r.rows[i].*member;
    }
    return out;
}

}  // namespace

Vessel::Vessel(py::handle scenario) : scenario_(parsedScenario(scenario)), session_(scenario_) {}

SessionResult Vessel::allocate(py::handle demand, double tolerance) {
    // The range the run command's --tolerance accepts.
    if (!(tolerance >= 0.0 && tolerance <= 1.0)) {
        throw py::value_error("tolerance: expected a number from 0 to 1");
    }
    kestrom_sim::Demand parsed;
    if (!takePlainDemand(demand, parsed)) {
        const nlohmann::json document =
            toJson(demand, kAllocateName, NonFinite::number, kDemandName);
        parsed =
            kestrom_sim::parseDemand(kestrom_sim::JsonField(document, kAllocateName, kDemandName));
    }
    py::gil_scoped_release released;
    const std::lock_guard<std::mutex> lock(busy_);
    return session_.request(parsed, problem_, tolerance);
}

void addVessel(py::module_& module) {
    py::class_<SessionResult>(module, "AllocationResult",
                              "What the host sees after one request, as kestrom-sim run "
                              "--json reports it.")
        .def_property_readonly("force", cells<&kestrom_sim::PublishedCells::force>,
                               "every table row's force cell, float32, in table order")
        .def_property_readonly("angle", cells<&kestrom_sim::PublishedCells::angle>,
                               "every table row's angle cell (radians), float32")
        .def_property_readonly(
            "generated", [](const SessionResult& r) { return array(r.outputs.thrustGenerated); },
            "\"Thrust Generated\" (fwd, swd, rot), float32")
        .def_property_readonly("energy", [](const SessionResult& r) { return r.outputs.energy; })
        .def_property_readonly(
            "active_thrusters",
            [](const SessionResult& r) { return static_cast<int>(r.outputs.activeThrusters); })
        .def_property_readonly("error_message",
                               [](const SessionResult& r) { return r.outputs.errorMessage; })
        .def_property_readonly(
            "error", [](const SessionResult& r) { return static_cast<int>(r.outputs.error); })
        .def_readonly("shutdowns", &SessionResult::shutdowns,
                      "the Error Message of every error shutdown during the request")
        .def_readonly("started", &SessionResult::started,
                      "False when the table's present settings already met the demand")
        .def_property_readonly(
            "table_thrust", [](const SessionResult& r) { return triple(r.report.tableThrust); },
            "the thrust the published table produces (fwd, swd, rot)")
        .def_property_readonly("met", [](const SessionResult& r) { return r.report.verdict.met; })
        .def_property_readonly(
            "shortfall", [](const SessionResult& r) { return triple(r.report.verdict.shortfall); },
            "demand minus the table's thrust")
        .def_property_readonly(
            "opposite",
            [](const SessionResult& r) {
                const auto& o = r.report.verdict.opposite;
                return py::make_tuple(o[0], o[1], o[2]);
            },
            "fwd, swd, rot pushed against a significant demand")
        .def_property_readonly(
            "table_matches_generated",
            [](const SessionResult& r) { return r.report.tableMatchesGenerated; })
        .def_property_readonly("zero_rows",
                               [](const SessionResult& r) { return r.report.zeroRows; });

    py::class_<Vessel>(module, "Vessel",
                       "A vessel's thruster table from a scenario dict (the run command's "
                       "format; \"demands\" may be left out). Each allocate() is one request; "
                       "the table keeps the forces and angles it publishes for the next one.")
        .def(py::init<py::handle>(), py::arg("scenario"))
        .def("allocate", &Vessel::allocate, py::arg("demand"),
             py::arg("tolerance") = kDefaultVerdictTolerance,
             "Allocate demand [fwd, swd, rot] (N, N, N m) and return the AllocationResult.")
        .def_property_readonly("name", [](const Vessel& v) { return v.scenario().name; })
        .def_property_readonly("rows", [](const Vessel& v) { return v.scenario().rows.size(); });
}

}  // namespace kestrom_python
