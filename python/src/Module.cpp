// The Python module `kestrom`: solve, Vessel and capability. Input problems raise ValueError
// with the command line's text; the GIL is released while anything computes.
#include <cmath>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Capability.h"
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
        }
    });
    module.def("solve", &kestrom_python::solve, py::arg("problem"), py::arg("reference") = false,
               "Allocate a problem dict in the solve command's format; returns its result "
               "document as a dict. reference=True uses the literal (slow) minimiser.");
    kestrom_python::addVessel(module);
    module.def(
        "capability",
        [](const kestrom_python::Vessel& vessel, int directions, double moment, double step,
           double tolerance, unsigned threads, py::object progress) {
            kestrom_sim::CapabilityOptions options;
            options.directions = directions;
            options.moment = moment;
            options.stepPercent = step;
            options.tolerance = tolerance;
            options.threads = threads;
            return kestrom_python::capability(vessel, options, progress);
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
