// Scenario rows into the cells the channel reads: float cells, link defaults, int truncation.
#include "ScenarioTable.h"

#include "host/ValueAsInt.h"

namespace kestrom_sim {

namespace {

// The defaults the channel reads from an unconnected column link.
constexpr int kDefaultType = 1;
constexpr int kDefaultActive = 0;

// A cell of a float column: the float the table holds, or 0 from an unconnected link.
float floatCell(const Scenario& scenario, const ThrusterRow& row, Column column,
                int component = 0) {
    return scenario.has(column) ? static_cast<float>(cell(row, column, component)) : 0.0f;
}

int intCell(const Scenario& scenario, const ThrusterRow& row, Column column, int def) {
    return scenario.has(column) ? valueAsInt(static_cast<float>(cell(row, column, 0)), def) : def;
}

::ThrusterRow channelRow(const Scenario& scenario, const ThrusterRow& row) {
    ::ThrusterRow cells;
    cells.force = floatCell(scenario, row, Column::force);
    cells.angle = floatCell(scenario, row, Column::angle);
    for (int k = 0; k < 3; ++k) {
        cells.position[k] = floatCell(scenario, row, Column::position, k);
    }
    cells.type = intCell(scenario, row, Column::type, kDefaultType);
    cells.active = intCell(scenario, row, Column::active, kDefaultActive);
    cells.maxForce = floatCell(scenario, row, Column::maxForce);
    cells.reversePenalty = floatCell(scenario, row, Column::reversePenalty);
    cells.startAngle = floatCell(scenario, row, Column::startAngle);
    if (scenario.has(Column::maxRotation)) {
        cells.maxRotation = static_cast<float>(row.maxRotation);
    }
    return cells;
}

}  // namespace

TableRequest tableRequest(const Scenario& scenario, const Demand& demand) {
    TableRequest request;
    for (const ThrusterRow& row : scenario.rows) {
        request.rows.push_back(channelRow(scenario, row));
    }
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
