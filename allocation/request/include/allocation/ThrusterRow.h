// One row of the host's thruster table as the channel reads it, and the rules that turn it
// into a thruster of the model. The channel, the tools and the tests all read rows here.
#pragma once

#include <optional>
#include <vector>

#include "allocation/Shipobj.h"

// What the channel reads from a cell whose column link is not connected: a row of the default
// type, inactive; every other cell 0, and no rotation range (see maxRotation).
inline constexpr int kDefaultType = 1;
inline constexpr int kDefaultActive = 0;

// Row numbers are written back through the model's 8-bit field: rows 0 to 127 only.
inline constexpr int kMaxTableRows = 128;

// The cells of one row, after the channel's defaults for cells it cannot read.
struct ThrusterRow {
    float force = 0.0f;  // negative: thrust opposite to the angle
    float angle = 0.0f;  // radians from the bow towards starboard
    // x: sideways arm (port positive), y: height (plays no part), z: forward arm.
    float position[3] = {0.0f, 0.0f, 0.0f};
    int type = kDefaultType;
    int active = kDefaultActive;
    float maxForce = 0.0f;
    float reversePenalty = 0.0f;
    float startAngle = 0.0f;
    // Empty when the table has no rotation-range column: the thruster may point anywhere.
    std::optional<float> maxRotation;
};

// Whether a row with this "active" cell takes part; a missing cell reads as 0.
bool isActiveRow(int activeCell);

// Whether a row of this type can end with a fixed direction: a fixed-direction row always, a
// row of limited rotation when barring fixes it. The efficiency of such a thruster changes with
// its thrust unless its reverse penalty is 1 (docs/channel.md).
bool canHaveFixedDirection(int type);

// Adds the active row `row` to the ship. A fixed-direction row also fixes its direction in
// barredAngles (indexed by row, as the channel keeps it). The model may reject the row.
void addThrusterRow(int row, const ThrusterRow& cells, Shipobj& ship,
                    std::vector<double>& barredAngles);

// The ship of a table's active rows, each added as above (a row the model rejects throws):
// for tools and tests that want the model of a table without a request.
Shipobj activeRowsShip(const std::vector<ThrusterRow>& rows);
