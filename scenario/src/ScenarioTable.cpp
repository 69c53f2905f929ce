// A scenario's request as the channel reads it from the host's table.
#include "scenario/ScenarioTable.h"

#include "host/ValueAsInt.h"
#include "scenario/ChannelRows.h"

namespace kestrom_sim {

TableRequest tableRequest(const Scenario& scenario, const Demand& demand) {
    TableRequest request;
    request.rows = channelRows(scenario);
    // The demand travels through the host's vector channel as three floats.
    request.demand = forceMom(static_cast<float>(demand[0]), static_cast<float>(demand[1]),
                              static_cast<float>(demand[2]), 0.0);
    if (scenario.actionInExtrema) {
        request.actionInExtrema = valueAsInt(static_cast<float>(*scenario.actionInExtrema),
                                             pipeline::kDefaultActionInExtrema);
    }
    return request;
}

}  // namespace kestrom_sim
