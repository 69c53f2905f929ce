// Table rows into thrusters: the defaults and the fixed-direction rule.
#include "allocation/ThrusterRow.h"

#include <cstddef>

#include "allocation/ThrusterType.h"
#include "allocation/Thrusterobj.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"

namespace {

constexpr double kDefaultReversePenalty = 0.1;
// A fixed-direction thruster is given a nominal range so that it counts as in range.
constexpr double kFixedMaxRotation = 0.01;

}  // namespace

bool isActiveRow(int activeCell) {
    return activeCell >= 1;
}

bool canHaveFixedDirection(int type) {
    // The model keeps the type as a signed char.
    return hasFixedDirection(type) || hasRotationLimit(static_cast<signed char>(type));
}

void addThrusterRow(int row, const ThrusterRow& cells, Shipobj& ship,
                    std::vector<double>& barredAngles) {
    float angle = cells.angle;
    double maxRotation = cells.maxRotation ? static_cast<double>(*cells.maxRotation) : kPi;
    double reversePenalty = cells.reversePenalty;
    if (reversePenalty == 0.0) {
        reversePenalty = kDefaultReversePenalty;
    }
    if (cells.type == kFixedDirection) {
        angle = cells.startAngle;
        barredAngles[static_cast<std::size_t>(row)] =
            kTwoPi - static_cast<double>(cells.startAngle);
        maxRotation = kFixedMaxRotation;
    }
    ThrusterParams params;
    params.number = static_cast<signed char>(row);
    params.posX = cells.position[2];  // forward arm from z
    params.posY = cells.position[0];  // sideways arm from x
    params.type = static_cast<signed char>(cells.type);
    params.maxForce = cells.maxForce;
    params.force = cells.force;
    params.reversePenalty = reversePenalty;
    params.angle = angle;
    params.startAngle = cells.startAngle;
    params.maxRotation = maxRotation;
    ship.addThruster(Thrusterobj(params));
}

Shipobj activeRowsShip(const std::vector<ThrusterRow>& rows) {
    Shipobj ship;
    std::vector<double> barredAngles(rows.size(), kFreeDirection);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (isActiveRow(rows[row].active)) {
            addThrusterRow(static_cast<int>(row), rows[row], ship, barredAngles);
        }
    }
    return ship;
}
