// Warnings on what a scenario means to the channel. The scenario can express every table a
// host could hold, so values that are most likely a mistake (degrees for radians, a column
// left out) or that the channel handles badly are named, never refused, and never change what
// is computed.
#pragma once

#include <string>
#include <vector>

#include "scenario/Scenario.h"

namespace kestrom_sim {

// One line per warning, "FILE: KEY: PROBLEM" as in InputError (file names the scenario).
std::vector<std::string> scenarioWarnings(const Scenario& scenario, const std::string& file);

// The tool's form: each warning on standard error after "kestrom-sim: warning: ".
void printScenarioWarnings(const Scenario& scenario, const std::string& file);

}  // namespace kestrom_sim
