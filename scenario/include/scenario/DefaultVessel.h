// The scenario run when no scenario file is given: an offshore supply vessel of about 80 m.
#pragma once

#include "scenario/Scenario.h"

namespace kestrom_sim {

Scenario defaultVessel();

}  // namespace kestrom_sim
