// The small ferry of the barring benchmarks: an azimuth at each corner, 1.8 m fore and aft
// and 0.8 m to each side, 400 N each, each turning within the quadrant that faces out of
// its corner, and its transit demand.
#pragma once

#include <array>

#include "allocation/ThrusterType.h"
#include "allocation/angles.h"

namespace ferry {

struct Corner {
    double forward;   // arm ahead of the reference point
    double sideways;  // arm to port
    double startAngle;
};

// Thrust angles point out of each corner: aft corners aft, forward corners ahead.
constexpr std::array<Corner, 4> kCorners = {{{-1.8, 0.8, 1.25 * kPi},
                                             {-1.8, -0.8, 0.75 * kPi},
                                             {1.8, 0.8, 1.75 * kPi},
                                             {1.8, -0.8, 0.25 * kPi}}};
constexpr double kMaxForce = 400.0;
constexpr double kHalfRange = 0.25 * kPi;             // a quadrant: 45 degrees either side
constexpr int kLimitedRotation = ::kLimitedRotation;  // the azimuths' type

// Transit: 900 N ahead and 50 N m of yaw; no sideways force, which the channel raises to
// its smallest demand of 0.01.
constexpr double kFwd = 900.0;
constexpr double kSwd = 0.01;
constexpr double kRot = 50.0;

}  // namespace ferry
