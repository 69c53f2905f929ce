// What the channel writes back into the thruster table for one thruster, and the thrust
// that the written table produces. The channel publishes through publishedRow; tools that
// judge a table recompute its thrust with publishedThrust.
#pragma once

#include <vector>

#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/forceMom.h"

// A published angle may miss the rotation range by this much before the force is written
// as zero; fixed-direction thrusters are allowed more.
inline constexpr double kPublishRangeTolerance = 0.001;
inline constexpr double kPublishFixedRangeTolerance = 0.1;

struct PublishedRow {
    int row = 0;         // the table row the thruster came from
    float force = 0.0f;  // negative: turned around, pushing backwards; 0: direction not reachable
    float angle = 0.0f;
};

PublishedRow publishedRow(const Thrusterobj& t);

// The rows the channel would publish for the ship's present thrust, in ship order.
std::vector<PublishedRow> publishedRows(const Shipobj& ship);

// The thrust the published rows produce, with the sign rule of "Thrust Generated": each
// row's float force along its float angle at the arms of ship's thruster of the same index.
// extra is the sum of |force|.
forceMom publishedThrust(const Shipobj& ship, const std::vector<PublishedRow>& rows);
