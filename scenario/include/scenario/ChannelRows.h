// Scenario rows as the channel reads them from the host's table: float cells, integer cells
// truncated, and the channel's defaults for a column whose link is left unconnected. Every
// part of the tool that decides what the channel made of a row asks here.
#pragma once

#include <cstddef>
#include <vector>

#include "allocation/ThrusterRow.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

::ThrusterRow channelRow(const Scenario& scenario, std::size_t row);
std::vector<::ThrusterRow> channelRows(const Scenario& scenario);

// Whether the channel uses the row (isActiveRow on the row as read).
bool rowIsActive(const Scenario& scenario, std::size_t row);

}  // namespace kestrom_sim
