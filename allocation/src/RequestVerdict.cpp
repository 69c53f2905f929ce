// The verdict on a thrust against its demand.
#include "allocation/RequestVerdict.h"

#include <algorithm>
#include <cmath>

#include "allocation/RequestPipeline.h"
#include "allocation/Thrusterobj.h"

namespace {

// A NaN difference fails, as a NaN anywhere must.
bool within(double difference, double bound) {
    return std::fabs(difference) <= bound;
}

bool pushesAgainst(double demanded, double achieved, double significant) {
    return std::fabs(demanded) >= significant && demanded * achieved < 0.0;
}

}  // namespace

double largestArm(const Shipobj& ship) {
    double arm = 0.0;
    for (const Thrusterobj& t : ship.thrusters()) {
        arm = std::max(arm, std::hypot(t.posX(), t.posY()));
    }
    return arm;
}

double largestArm(const std::vector<ThrusterRow>& rows) {
    double arm = 0.0;
    for (const ThrusterRow& row : rows) {
        if (isActiveRow(row.active)) {
            arm = std::max(arm, std::hypot(static_cast<double>(row.position[2]),
                                           static_cast<double>(row.position[0])));
        }
    }
    return arm;
}

RequestVerdict judgeThrust(const forceMom& demand, const forceMom& thrust, double arm,
                           double tolerance) {
    double scale = std::max(std::hypot(demand.fwd, demand.swd), 1.0);
    if (arm > 0.0) {
        scale = std::max(scale, std::fabs(demand.rot) / arm);
    }
    RequestVerdict verdict;
    verdict.scale = scale;
    verdict.shortfall =
        forceMom(demand.fwd - thrust.fwd, demand.swd - thrust.swd, demand.rot - thrust.rot, 0.0);
    const double forceBound = tolerance * scale;
    const double momentBound = tolerance * scale * arm;
    verdict.met = within(verdict.shortfall.fwd, forceBound) &&
                  within(verdict.shortfall.swd, forceBound) &&
                  within(verdict.shortfall.rot, momentBound);
    const double significantForce = kSignificantShare * scale;
    verdict.opposite = {pushesAgainst(demand.fwd, thrust.fwd, significantForce),
                        pushesAgainst(demand.swd, thrust.swd, significantForce),
                        pushesAgainst(demand.rot, thrust.rot, significantForce * arm)};
    return verdict;
}

RequestVerdict judgePublished(const forceMom& demand, const forceMom& thrust, double arm,
                              double tolerance) {
    return judgeThrust(raisedDemand(demand), thrust, arm, tolerance);
}
