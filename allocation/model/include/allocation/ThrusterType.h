// The thruster type codes of the table's "type" column that the model tells apart. A cell
// may hold any integer: every code not named here is a thruster that may point anywhere
// and is never barred.
#pragma once

enum ThrusterType : int {
    // Points along its start angle only; the solver gets the direction fixed.
    kFixedDirection = 1,
    // Turns within startAngle +- maxRotation; barred when its thrust points outside that.
    kLimitedRotation = 2,
    // The same rule as kLimitedRotation; tables use both codes.
    kLimitedRotationAlternative = 3,
};

// Whether a thruster of this type pushes along its start angle only.
constexpr bool hasFixedDirection(int type) {
    return type == kFixedDirection;
}

// Whether a thruster of this type is subject to barring (and marks its ship as such).
constexpr bool hasRotationLimit(int type) {
    return type == kLimitedRotation || type == kLimitedRotationAlternative;
}
