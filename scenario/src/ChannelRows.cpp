// Scenario rows read the way the channel reads its table: float cells, link defaults, integer
// cells truncated as the channel's Value links truncate them.
#include "scenario/ChannelRows.h"

#include "host/ValueAsInt.h"

namespace kestrom_sim {

namespace {

// The defaults the channel reads from an unconnected column link.
constexpr int kDefaultType = 1;
constexpr int kDefaultActive = 0;

// A cell of a float column: the float the table holds, or 0 from an unconnected link.
float floatCell(const Scenario& scenario, const ScenarioRow& row, Column column,
                int component = 0) {
    return scenario.has(column) ? static_cast<float>(cell(row, column, component)) : 0.0f;
}

int intCell(const Scenario& scenario, const ScenarioRow& row, Column column, int def) {
    return scenario.has(column) ? valueAsInt(static_cast<float>(cell(row, column, 0)), def) : def;
}

::ThrusterRow cellsOf(const Scenario& scenario, const ScenarioRow& row) {
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
        cells.maxRotation = static_cast<float>(cell(row, Column::maxRotation));
    }
    return cells;
}

}  // namespace

::ThrusterRow channelRow(const Scenario& scenario, std::size_t row) {
    return cellsOf(scenario, scenario.rows[row]);
}

std::vector<::ThrusterRow> channelRows(const Scenario& scenario) {
    std::vector<::ThrusterRow> rows;
    for (const ScenarioRow& row : scenario.rows) {
        rows.push_back(cellsOf(scenario, row));
    }
    return rows;
}

bool rowIsActive(const Scenario& scenario, std::size_t row) {
    return isActiveRow(channelRow(scenario, row).active);
}

}  // namespace kestrom_sim
