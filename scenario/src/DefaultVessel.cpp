// An 80 m offshore supply vessel: two main propellers aft that turn 35 degrees either side of
// the bow direction (the first two rows, where the channel expects its main thrusters), a
// retractable azimuth forward, an azimuth aft, and two bow tunnel thrusters that push weaker
// in reverse. Same data as examples/supply-vessel.json.
#include "scenario/DefaultVessel.h"

#include "allocation/angles.h"

namespace kestrom_sim {

namespace {

constexpr double kMainRotation = 0.610865238;  // 35 degrees

// An active row at rest, pointing at its start angle.
ScenarioRow row(double sideways, double forward, double type, double maxForce,
                double reversePenalty, double startAngle, double maxRotation) {
    return {0.0, startAngle, sideways,       0.0,        forward,    type,
            1.0, maxForce,   reversePenalty, startAngle, maxRotation};
}

}  // namespace

Scenario defaultVessel() {
    Scenario s;
    s.name = "Offshore supply vessel, 80 m (built in)";
    s.rows = {
        row(6.0, -36.0, 2, 800000.0, 1.0, 0.0, kMainRotation),   // main propeller, port
        row(-6.0, -36.0, 2, 800000.0, 1.0, 0.0, kMainRotation),  // main propeller, starboard
        row(0.0, 24.0, 2, 350000.0, 1.0, 0.0, kPi),              // retractable azimuth
        row(0.0, -28.0, 2, 300000.0, 1.0, 0.0, kPi),             // aft azimuth
        row(0.0, 33.0, 1, 200000.0, 0.8, kHalfPi, 0.0),          // bow tunnel 1
        row(0.0, 30.5, 1, 200000.0, 0.8, kHalfPi, 0.0),          // bow tunnel 2
    };
    s.hasColumn.fill(true);
    s.demands = {
        {60000.0, -40000.0, 1500000.0},  // station keeping against wind and current
        {1500000.0, 0.0, 0.0},           // transit
        {0.0, 0.0, 20000000.0},          // pure yaw, bow to port
        {2600000.0, 500000.0, 0.0},      // more than the thrusters can give
    };
    return s;
}

}  // namespace kestrom_sim
