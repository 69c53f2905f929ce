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
    // The channel allocates a component under 0.01 as +0.01: a table that gives what the
    // channel was asked for must not miss on that raise, so each component may differ by its
    // raise on top of the tolerance.
    const forceMom raised = raisedDemand(demand);
    verdict.missed = {
        !within(verdict.shortfall.fwd, forceBound + std::fabs(raised.fwd - demand.fwd)),
        !within(verdict.shortfall.swd, forceBound + std::fabs(raised.swd - demand.swd)),
        !within(verdict.shortfall.rot, momentBound + std::fabs(raised.rot - demand.rot))};
    verdict.met = !verdict.missed[0] && !verdict.missed[1] && !verdict.missed[2];
    const double significantForce = kSignificantShare * scale;
    verdict.opposite = {pushesAgainst(demand.fwd, thrust.fwd, significantForce),
                        pushesAgainst(demand.swd, thrust.swd, significantForce),
                        pushesAgainst(demand.rot, thrust.rot, significantForce * arm)};
    return verdict;
}
