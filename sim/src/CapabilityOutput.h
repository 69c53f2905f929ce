// The capability envelope as text: JSON, CSV and a polar SVG picture. Every number reads back
// to the value computed.
#pragma once

#include <string>

#include "capability/CapabilityEnvelope.h"

namespace kestrom_sim {

// {"moment", "directions": [{"angle", "allocation", "physical", "optimal", "metAbove": [...]}]};
// "allocation" and "optimal" are null when even the pure moment is missed.
std::string capabilityJson(const CapabilityEnvelope& envelope);

// Header angle,allocation,physical,optimal,metAbove; metAbove separated by spaces, allocation
// and optimal empty when even the pure moment is missed.
std::string capabilityCsv(const CapabilityEnvelope& envelope);

// The three envelopes around the vessel, ahead up and port left, with a legend.
std::string capabilitySvg(const CapabilityEnvelope& envelope, const std::string& title);

}  // namespace kestrom_sim
