// Warnings on what a scenario means to the channel. The scenario can express every table a
// host could hold, so values that are most likely a mistake (degrees for radians, a column
// left out) or that the channel handles badly are named, never refused, and never change what
// is computed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scenario/AllocatorKind.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// One line per warning on the table and on how the allocator takes it, "FILE: KEY: PROBLEM" as
// in InputError (file names the scenario). The default allocator's reverse-penalty ramp is
// named for it alone; a row the optimal allocator refuses, for that one alone.
std::vector<std::string> scenarioWarnings(const Scenario& scenario, const std::string& file,
                                          AllocatorKind allocator);

// What one request may cost when barring searches exhaustively (the default allocator, five
// rows or more); a warning at every request where requests are made one by one.
std::optional<std::string> barringWarning(const Scenario& scenario, const std::string& file,
                                          AllocatorKind allocator);

// The tool's form: both kinds, each on standard error after "kestrom-sim: warning: ".
void printScenarioWarnings(const Scenario& scenario, const std::string& file,
                           AllocatorKind allocator);

}  // namespace kestrom_sim
