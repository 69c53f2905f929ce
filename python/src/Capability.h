// kestrom.capability(vessel, ...): the capability envelope of a vessel's table as numpy arrays.
#pragma once

#include <pybind11/pybind11.h>

#include "Vessel.h"
#include "capability/CapabilityEnvelope.h"

namespace kestrom_python {

// {"moment": float, "angle", "allocation" (NaN where the capability command writes null),
// "physical": float64 arrays, "metAbove": a list of float64 arrays, one per direction}.
// progress, unless None, is called as progress(done, total) after each direction; what it
// raises stops reporting and is raised once the envelope is computed.
pybind11::dict capability(const Vessel& vessel, kestrom_sim::CapabilityOptions options,
                          pybind11::object progress);

}  // namespace kestrom_python
