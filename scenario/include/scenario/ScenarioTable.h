// A scenario as the channel reads it from the host's table: the one conversion from scenario
// rows to the allocation's rows, so that tools can compute the channel's answer directly with
// allocateTable instead of a host.
#pragma once

#include "allocation/TableRequest.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// The request the channel reads for demand on the scenario's table as given: every cell
// stored as a float, a column no row gives read as its link's default, integer cells and
// "Action in Extrema" truncated as the channel's Value links truncate.
TableRequest tableRequest(const Scenario& scenario, const Demand& demand);

}  // namespace kestrom_sim
