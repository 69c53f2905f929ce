// kestrom.capability(vessel, ...): the capability envelope of a vessel's table as numpy arrays.
#pragma once

#include <pybind11/pybind11.h>

#include "Vessel.h"
#include "capability/CapabilityEnvelope.h"

namespace kestrom_python {

// {"moment": float, "angle", "allocation" (NaN where the capability command writes null),
// "physical": float64 arrays, "metAbove": a list of float64 arrays, one per direction}.
pybind11::dict capability(const Vessel& vessel, const kestrom_sim::CapabilityOptions& options);

}  // namespace kestrom_python
