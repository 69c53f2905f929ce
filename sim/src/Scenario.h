// A vessel's thruster table and a series of demanded thrusts, as the run command feeds them
// to the plug-in.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "JsonInput.h"

namespace kestrom_sim {

// The columns of the thruster table, in the order of the table's cells (position takes
// three cells: sideways arm, vertical, forward arm).
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
constexpr int kColumnCount = 9;
// The scenario key of a column.
const char* columnKey(Column column);

// One thruster row. A value of a column that the scenario leaves out is 0 and unused.
struct ThrusterRow {
    double force = 0.0;
    double angle = 0.0;
    std::array<double, 3> position{};  // sideways arm (to port), vertical, forward arm
    double type = 0.0;
    double active = 0.0;
    double maxForce = 0.0;
    double reversePenalty = 0.0;
    double startAngle = 0.0;
    double maxRotation = 0.0;
};

// The cell of a column in a row; component picks one of the position's three cells.
double& cell(ThrusterRow& row, Column column, int component);
inline double cell(const ThrusterRow& row, Column column, int component) {
    return cell(const_cast<ThrusterRow&>(row), column, component);
}

// A demanded thrust: forward force, sideways force (to port), turning moment (bow to port).
using Demand = std::array<double, 3>;

struct Scenario {
    std::string name;
    std::vector<ThrusterRow> rows;
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
