// The Python module `kestrom`: solve, Vessel and capability. Input problems raise ValueError
// with the command line's text; the GIL is released while anything computes.
#include <cmath>
#include <limits>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Capability.h"
#include "PythonJson.h"
#include "RequestTiming.h"
#include "Solve.h"
#include "Vessel.h"
#include "scenario/JsonInput.h"

namespace py = pybind11;

PYBIND11_MODULE(kestrom, module) {
    module.doc() = "Thrust allocation of the Kestrom plug-in, with the command line's answers.";
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const kestrom_sim::InputError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const kestrom_python::RequestTimedOut& e) {
            PyErr_SetString(PyExc_TimeoutError, e.what());
        }
    });
    module.def("solve", &kestrom_python::solve, py::arg("problem"), py::arg("reference") = false,
               "Allocate a problem dict in the solve command's format; returns its result "
               "document as a dict. reference=True uses the literal (slow) minimiser.");
    kestrom_python::addVessel(module);
    module.def(
        "capability",
        [](py::handle vessel, py::handle directions, py::handle moment, py::handle step,
           py::handle tolerance, py::handle threads, py::object progress) {
            const kestrom_python::Vessel& table = kestrom_python::usable(vessel);
            kestrom_sim::CapabilityOptions options;
            // Saturated just outside the accepted ranges: the envelope words the bounds.
            options.directions = static_cast<int>(kestrom_python::wholeArgument(
                directions, "directions", 0, kestrom_sim::kMaxDirections + 1));
            options.moment = kestrom_python::numberArgument(moment, "moment");
            options.stepPercent = kestrom_python::numberArgument(step, "step");
            options.tolerance = kestrom_python::numberArgument(tolerance, "tolerance");
            const long long workers = kestrom_python::wholeArgument(
                threads, "threads", -1, kestrom_sim::maxCapabilityThreads() + 1LL);
            options.threads =
                workers < 0 ? std::numeric_limits<unsigned>::max() : static_cast<unsigned>(workers);
            return kestrom_python::capability(table, options, progress);
        },
        py::arg("vessel"), py::arg("directions") = 72, py::arg("moment") = 0.0,
        py::arg("step") = 1.0, py::arg("tolerance") = kDefaultVerdictTolerance,
        py::arg("threads") = 0, py::arg("progress") = py::none(),
        "The capability envelope of the vessel's table as it was built, as the capability "
        "command gives it; allocation is NaN where the command writes null. progress, if "
        "given, is called as progress(done, total) after each direction.");
    module.def("_time_requests", &kestrom_python::timeRequests, py::arg("scenario"),
               py::arg("demands"),
               "Seconds for the demands' requests on a fresh table, timed in C++ alone.");
}
