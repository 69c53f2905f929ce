// Scenario rows read the way the channel reads its table.
#include "ChannelRows.h"

#include <cmath>

namespace kestrom_sim {

namespace {

// The channel's integer read of a cell: truncated toward zero; a cell that no int holds
// (NaN, or beyond the int range) gives the default.
int integerCell(double value, int fallback) {
    const float cell = static_cast<float>(value);
    if (!(std::fabs(cell) < 2147483648.0f)) {
        return fallback;
    }
    return static_cast<int>(cell);
}

}  // namespace

::ThrusterRow channelRow(const Scenario& scenario, std::size_t index) {
    const ThrusterRow& row = scenario.rows[index];
    ::ThrusterRow cells;  // the channel's defaults for every column left out
    auto given = [&scenario](Column column) { return scenario.has(column); };
    if (given(Column::force))
        cells.force = static_cast<float>(row.force);
    if (given(Column::angle))
        cells.angle = static_cast<float>(row.angle);
    if (given(Column::position)) {
        for (std::size_t k = 0; k < 3; ++k) {
            cells.position[k] = static_cast<float>(row.position[k]);
        }
    }
    if (given(Column::type))
        cells.type = integerCell(row.type, cells.type);
    if (given(Column::active))
        cells.active = integerCell(row.active, cells.active);
    if (given(Column::maxForce))
        cells.maxForce = static_cast<float>(row.maxForce);
    if (given(Column::reversePenalty))
        cells.reversePenalty = static_cast<float>(row.reversePenalty);
    if (given(Column::startAngle))
        cells.startAngle = static_cast<float>(row.startAngle);
    if (given(Column::maxRotation))
        cells.maxRotation = static_cast<float>(row.maxRotation);
    return cells;
}

std::vector<::ThrusterRow> channelRows(const Scenario& scenario) {
    std::vector<::ThrusterRow> rows;
    for (std::size_t i = 0; i < scenario.rows.size(); ++i) {
        rows.push_back(channelRow(scenario, i));
    }
    return rows;
}

bool rowIsActive(const Scenario& scenario, std::size_t row) {
    return isActiveRow(channelRow(scenario, row).active);
}

}  // namespace kestrom_sim
