// A vessel's thruster table and a series of demanded thrusts, as the run command feeds them
// to the plug-in.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "channel/LinkTable.h"
#include "scenario/JsonInput.h"

namespace kestrom_sim {

// The columns of the thruster table, in the order of their links (kForceColumn first); the
// position takes three cells (sideways arm, vertical, forward arm), every other column one.
enum class Column {
    force,
    angle,
    position,
    type,
    active,
    maxForce,
    reversePenalty,
    startAngle,
    maxRotation
};
constexpr int kColumnCount = kestrom_links::kMaxRotationColumn - kestrom_links::kForceColumn + 1;
static_assert(static_cast<int>(Column::maxRotation) + 1 == kColumnCount,
              "one scenario column per column link");
// The scenario key of a column.
const char* columnKey(Column column);
// The link that stands for a column.
constexpr unsigned int columnLink(Column column) {
    return kestrom_links::kForceColumn + static_cast<unsigned int>(column);
}

// One thruster row: the table's cells, indexed by kestrom_links::TableCell, as the scenario
// gives them (doubles, so that warnings can quote the given number). A cell of a column that
// the scenario leaves out is 0 and unused.
using ScenarioRow = std::array<double, kestrom_links::kTableColumns>;

// The cell of a column in a row; component picks one of the position's three cells.
inline double& cell(ScenarioRow& row, Column column, int component = 0) {
    return row[static_cast<std::size_t>(kestrom_links::columnCell(columnLink(column)) + component)];
}
inline double cell(const ScenarioRow& row, Column column, int component = 0) {
    return cell(const_cast<ScenarioRow&>(row), column, component);
}

// A demanded thrust: forward force, sideways force (to port), turning moment (bow to port).
using Demand = std::array<double, 3>;

struct Scenario {
    std::string name;
    std::vector<ScenarioRow> rows;
    // Which columns the rows give; a column no row gives has its link left unconnected.
    std::array<bool, kColumnCount> hasColumn{};
    std::vector<Demand> demands;
    // Absent: the "Action in Extrema" link is left unconnected.
    std::optional<double> actionInExtrema;

    bool has(Column column) const { return hasColumn[static_cast<int>(column)]; }
};

// The table addresses rows 0 to 127 only; the tool refuses larger tables.
constexpr std::size_t kMaxRows = 128;

// Reads one demand [fwd, swd, rot]. Throws InputError naming the key.
Demand parseDemand(const JsonField& field);

// Reads a scenario document. With demandsRequired false a missing "demands" key is
// accepted (the demands then come from elsewhere). Throws InputError naming the key.
Scenario parseScenario(const JsonField& document, const std::string& defaultName,
                       bool demandsRequired);

}  // namespace kestrom_sim
