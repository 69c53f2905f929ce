// The Vessel class and the result of one request, with numpy views made when read.
#include "Vessel.h"

#include <cfloat>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <optional>
#include <thread>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "PythonJson.h"
#include "scenario/JsonInput.h"
#include "scenario/NumberText.h"
#include "scenario/ScenarioWarnings.h"

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

// The shortest and longest request timeout: the range of the run command's --timeout.
constexpr double kMinTimeout = 0.001;
constexpr double kMaxTimeout = 1e6;

// One request on its own copy of a table, shared by the caller and the thread computing it:
// a caller whose time runs out leaves, and the thread finishes alone.
struct DetachedRequest {
    DetachedRequest(const kestrom_sim::TableSession& table, const allocProblem& work,
                    const kestrom_sim::Demand& asked, double share)
        : session(table), problem(work), demand(asked), tolerance(share) {}

    kestrom_sim::TableSession session;
    allocProblem problem;
    kestrom_sim::Demand demand{};
    double tolerance = 0.0;
    SessionResult result;
    std::exception_ptr failure;
    bool done = false;
    std::mutex mutex;
    std::condition_variable finished;

    void run() {
        try {
            result = session.request(demand, problem, tolerance);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    }
};

kestrom_sim::AllocatorKind allocatorKind(const std::string& name) {
    const std::optional<kestrom_sim::AllocatorKind> kind = kestrom_sim::allocatorNamed(name);
    if (!kind) {
        throw py::value_error("allocator: expected one of " +
                              std::string(kestrom_sim::kAllocatorNames) + ", not \"" + name + "\"");
    }
    return *kind;
}

// What the vessel gives: met, and no error shutdown during the request.
bool resultOk(const SessionResult& r) {
    return r.report.verdict.met && r.shutdowns.empty() && r.outputs.error == 0.0f;
}

std::string resultRepr(const SessionResult& r) {
    const forceMom& t = r.report.tableThrust;
    const forceMom& s = r.report.verdict.shortfall;
    std::string text = "<AllocationResult ok=" + std::string(resultOk(r) ? "True" : "False") +
                       " met=" + (r.report.verdict.met ? "True" : "False");
    if (!r.shutdowns.empty()) {
        text += " shutdowns=" + std::to_string(r.shutdowns.size()) + " (see .shutdowns)";
    }
    text += " error=" + std::to_string(static_cast<int>(r.outputs.error)) + " table_thrust=[" +
            kestrom_sim::quantityText(t.fwd, "N") + ", " + kestrom_sim::quantityText(t.swd, "N") +
            ", " + kestrom_sim::quantityText(t.rot, "N m") + "]";
    if (!r.report.verdict.met) {
        text += " shortfall=[" + kestrom_sim::quantityText(s.fwd, "N") + ", " +
                kestrom_sim::quantityText(s.swd, "N") + ", " +
                kestrom_sim::quantityText(s.rot, "N m") + "]";
    }
    return text + ">";
}

}  // namespace

Vessel& usable(py::handle vessel) {
    if (!py::isinstance<Vessel>(vessel)) {
        throw py::type_error("expected a Vessel, got " +
                             py::str(py::type::of(vessel).attr("__name__")).cast<std::string>());
    }
    auto* instance = reinterpret_cast<py::detail::instance*>(vessel.ptr());
    const py::detail::value_and_holder holder =
        instance->get_value_and_holder(py::detail::get_type_info(typeid(Vessel)));
    if (!holder.holder_constructed()) {
        throw py::type_error("Vessel: not initialised (its __init__ never ran)");
    }
    return *holder.value_ptr<Vessel>();
}

Vessel::Vessel(py::handle scenario, const std::string& allocator)
    : scenario_(parsedScenario(scenario)),
      allocator_(allocatorKind(allocator)),
      requestCostWarning_(kestrom_sim::barringWarning(scenario_, kScenarioName, allocator_)),
      session_(scenario_, allocator_) {
    // The command line's warnings, through Python's warnings module.
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& warning :
         kestrom_sim::scenarioWarnings(scenario_, kScenarioName, allocator_)) {
        warn(warning, py::handle(PyExc_UserWarning), 2);
    }
}

void Vessel::warnRequestCost() const {
    if (requestCostWarning_) {
        // Level 1: the Python line that called allocate (the binding has no frame of its own).
        py::module_::import("warnings")
            .attr("warn")(*requestCostWarning_, py::handle(PyExc_UserWarning), 1);
    }
}

namespace {

void checkTolerance(double tolerance) {
    // The range the run command's --tolerance accepts.
    if (!(tolerance >= 0.0 && tolerance <= 1.0)) {
        throw py::value_error("tolerance: expected a number from 0 to 1");
    }
}

}  // namespace

SessionResult Vessel::allocate(py::handle demand, double tolerance, std::optional<double> timeout) {
    checkTolerance(tolerance);
    warnRequestCost();
    if (timeout && !(*timeout >= kMinTimeout && *timeout <= kMaxTimeout)) {
        throw py::value_error("timeout: expected a number of seconds from 0.001 to 1000000");
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
    if (!timeout) {
        return session_.request(parsed, problem_, tolerance);
    }
    // The pipeline has no point at which it could stop: an abandoned request computes on in
    // the background until it ends, on a copy, so that this vessel's table stays as it was.
    auto request = std::make_shared<DetachedRequest>(session_, problem_, parsed, tolerance);
    std::thread([request] { request->run(); }).detach();
    std::unique_lock<std::mutex> wait(request->mutex);
    if (!request->finished.wait_for(wait, std::chrono::duration<double>(*timeout),
                                    [&] { return request->done; })) {
        throw RequestTimedOut("allocate: no result after " + kestrom_sim::roundTripText(*timeout) +
                              " s; the table stays as it was before this request");
    }
    if (request->failure) {
        std::rethrow_exception(request->failure);
    }
    session_ = std::move(request->session);
    problem_ = std::move(request->problem);
    return std::move(request->result);
}

py::dict Vessel::allocateSeries(py::handle demands, double tolerance) {
    checkTolerance(tolerance);
    warnRequestCost();
    const py::array_t<double, py::array::c_style | py::array::forcecast> table =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(demands);
    if (!table || table.ndim() != 2 || table.shape(1) != 3) {
        throw py::value_error("allocate_series: demands: expected N rows of [fwd, swd, rot]");
    }
    const std::size_t count = static_cast<std::size_t>(table.shape(0));
    std::vector<kestrom_sim::Demand> parsed(count);
    for (std::size_t n = 0; n < count; ++n) {
        for (std::size_t k = 0; k < 3; ++k) {
            parsed[n][k] = table.at(static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(k));
            if (!plainNumber(parsed[n][k])) {
                throw py::value_error("allocate_series: demands[" + std::to_string(n) + "][" +
                                      std::to_string(k) + "]: expected a finite number");
            }
        }
    }
    std::vector<SessionResult> results;
    results.reserve(count);
    {
        py::gil_scoped_release released;
        const std::lock_guard<std::mutex> lock(busy_);
        for (const kestrom_sim::Demand& demand : parsed) {
            results.push_back(session_.request(demand, problem_, tolerance));
        }
    }
    const py::ssize_t n = static_cast<py::ssize_t>(count);
    const py::ssize_t rows = static_cast<py::ssize_t>(scenario_.rows.size());
    py::array_t<float> force({n, rows}), angle({n, rows}), generated({n, py::ssize_t{3}});
    py::array_t<double> tableThrust({n, py::ssize_t{3}}), shortfall({n, py::ssize_t{3}});
    py::array_t<double> energy(n);
    py::array_t<bool> met(n), ok(n), started(n);
    py::array_t<int> error(n);
    for (py::ssize_t i = 0; i < n; ++i) {
        const SessionResult& r = results[static_cast<std::size_t>(i)];
        for (py::ssize_t j = 0; j < rows && j < static_cast<py::ssize_t>(r.rows.size()); ++j) {
            force.mutable_at(i, j) = r.rows[static_cast<std::size_t>(j)].force;
            angle.mutable_at(i, j) = r.rows[static_cast<std::size_t>(j)].angle;
        }
        const forceMom& t = r.report.tableThrust;
        const forceMom& s = r.report.verdict.shortfall;
        for (py::ssize_t k = 0; k < 3; ++k) {
            generated.mutable_at(i, k) = r.outputs.thrustGenerated[static_cast<std::size_t>(k)];
            tableThrust.mutable_at(i, k) = k == 0 ? t.fwd : k == 1 ? t.swd : t.rot;
            shortfall.mutable_at(i, k) = k == 0 ? s.fwd : k == 1 ? s.swd : s.rot;
        }
        energy.mutable_at(i) = r.outputs.energy;
        met.mutable_at(i) = r.report.verdict.met;
        ok.mutable_at(i) = resultOk(r);
        started.mutable_at(i) = r.started;
        error.mutable_at(i) = static_cast<int>(r.outputs.error);
    }
    using namespace py::literals;
    return py::dict("force"_a = force, "angle"_a = angle, "generated"_a = generated,
                    "energy"_a = energy, "error"_a = error, "started"_a = started,
                    "table_thrust"_a = tableThrust, "met"_a = met, "shortfall"_a = shortfall,
                    "ok"_a = ok);
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
                               [](const SessionResult& r) { return r.report.zeroRows; })
        .def_property_readonly(
            "forces_not_finite",
            [](const SessionResult& r) {
                for (const kestrom_sim::PublishedCells& row : r.rows) {
                    if (!std::isfinite(row.force)) {
                        return true;
                    }
                }
                return false;
            },
            "True when a published force cell is NaN or infinite (\"Thrust Generated\" may "
            "still be finite)")
        .def_property_readonly("ok", resultOk,
                               "True when the table meets the demand and no error shutdown "
                               "happened during the request")
        .def("__repr__", resultRepr);

    py::class_<Vessel>(module, "Vessel",
                       "A vessel's thruster table from a scenario dict (the run command's "
                       "format; \"demands\" may be left out). Each allocate() is one request; "
                       "the table keeps the forces and angles it publishes for the next one.")
        .def(py::init<py::handle, const std::string&>(), py::arg("scenario"),
             py::arg("allocator") = "default",
             "allocator: \"default\" (the Kestrom channel type's) or \"optimal\" (the "
             "KestromOptimal channel type's)")
        .def(
            "allocate",
            [](py::handle self, py::handle demand, py::handle tolerance, py::handle timeout) {
                Vessel& vessel = usable(self);
                const double share = numberArgument(tolerance, "tolerance");
                std::optional<double> seconds;
                if (!timeout.is_none()) {
                    seconds = numberArgument(timeout, "timeout");
                }
                return vessel.allocate(demand, share, seconds);
            },
            py::arg("demand"), py::arg("tolerance") = kDefaultVerdictTolerance,
            py::arg("timeout") = py::none(),
            "Allocate demand [fwd, swd, rot] (N, N, N m) and return the AllocationResult. "
            "timeout: seconds, after which TimeoutError is raised and the table stays as it "
            "was (the abandoned computation ends in the background).")
        .def(
            "allocate_series",
            [](py::handle self, py::handle demands, py::handle tolerance) {
                return usable(self).allocateSeries(demands, numberArgument(tolerance, "tolerance"));
            },
            py::arg("demands"), py::arg("tolerance") = kDefaultVerdictTolerance,
            "Allocate N demands (an N x 3 array) one after the other, each starting from the "
            "table the previous one left; returns a dict of arrays with N rows: force, angle "
            "(N x rows), generated, table_thrust, shortfall (N x 3), energy, error, started, "
            "met, ok (N).")
        .def_property_readonly("name", [](py::handle self) { return usable(self).scenario().name; })
        .def_property_readonly("rows",
                               [](py::handle self) { return usable(self).scenario().rows.size(); })
        .def("__repr__", [](py::handle self) {
            const Vessel& v = usable(self);
            return "<Vessel '" + v.scenario().name + "' with " +
                   std::to_string(v.scenario().rows.size()) + " rows>";
        });
}

}  // namespace kestrom_python
