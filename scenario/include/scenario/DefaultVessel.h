// The scenario run when no scenario file is given: an offshore supply vessel of about 80 m.
#pragma once

#include "scenario/Scenario.h"

namespace kestrom_sim {

// How messages name the built-in vessel where they name a scenario file.
inline constexpr const char* kDefaultVesselSource = "built-in vessel";

Scenario defaultVessel();

}  // namespace kestrom_sim
