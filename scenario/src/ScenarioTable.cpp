// A scenario's request as the channel reads it from the host's table, and the table the
// request cycle runs on.
#include "scenario/ScenarioTable.h"

#include "host/ValueAsInt.h"
#include "scenario/ChannelRows.h"

namespace kestrom_sim {

TableRequest tableRequest(const Scenario& scenario, const Demand& demand) {
    TableRequest request;
    request.rows = channelRows(scenario);
    // The demand travels through the host's vector channel as three floats.
    request.demand = {static_cast<float>(demand[0]), static_cast<float>(demand[1]),
                      static_cast<float>(demand[2])};
    if (scenario.actionInExtrema) {
        request.actionInExtrema = valueAsInt(static_cast<float>(*scenario.actionInExtrema),
                                             pipeline::kDefaultActionInExtrema);
    }
    return request;
}

ScenarioTable::ScenarioTable(Scenario& scenario, LinkOutputs& outputs, const Demand& demand)
    : scenario_(scenario), outputs_(outputs), request_(tableRequest(scenario, demand)) {}

int ScenarioTable::previousActive() {
    return valueAsInt(outputs_.activeThrusters, 0);
}

int ScenarioTable::selectRow(int row) {
    selected_ = static_cast<std::size_t>(row);
    return request_.rows[selected_].active;
}

void ScenarioTable::writeCell(int row, Column column, float value) {
    if (scenario_.has(column)) {
        cell(scenario_.rows[static_cast<std::size_t>(row)], column) = value;
    }
}

void ScenarioTable::writeRows(const std::vector<PublishedRow>& rows) {
    for (const PublishedRow& published : rows) {
        writeCell(published.row, Column::force, published.force);
        writeCell(published.row, Column::angle, published.angle);
    }
}

void ScenarioTable::zeroForces(int rowCount) {
    for (int row = 0; row < rowCount; ++row) {
        writeCell(row, Column::force, 0.0f);
    }
}

void ScenarioTable::writeOutputs(const LinkOutputs& outputs) {
    outputs_ = outputs;
    if (outputs.error != 0.0f) {
        shutdowns_.push_back(outputs.errorMessage);
    }
}

}  // namespace kestrom_sim
