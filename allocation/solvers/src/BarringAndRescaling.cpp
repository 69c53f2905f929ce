// The barring search and the rescaling.
#include "allocation/BarringAndRescaling.h"

#include <cmath>
#include <utility>

#include "allocation/ThrustFrame.h"
#include "allocation/Thrusterobj.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"

namespace {

// Outcomes this close to the demand count as equally good; energy decides between them.
constexpr double kDiffFloor = 0.001;
// Twelve trials per barred thruster: the lower bound, then again the lower bound and ten
// steps of a tenth of the range up to the upper bound.
constexpr int kRepeatedTrials = 11;
constexpr double kRangeSteps = 10.0;

}  // namespace

namespace {

double clampedDifference(const forceMom& demand, const forceMom& outcome) {
    const double diff = getDiff(demand, outcome);
    return diff > kDiffFloor ? diff : kDiffFloor;
}

}  // namespace

void BarringAndRescaling::processBarred(const forceMom& demand) {
    if (!ship_.anyBarred()) {
        return;
    }
    generatedThrust_ = barThruster(demand, ship_, barredAngles_);
}

forceMom BarringAndRescaling::barThruster(const forceMom& demand, Shipobj& ship,
                                          std::vector<double> angles) {
    level(0).angles = std::move(angles);
    return search(demand, ship, 0);
}

BarringAndRescaling::Level& BarringAndRescaling::level(std::size_t depth) {
    while (levels_.size() <= depth) {
        levels_.emplace_back();
    }
    return levels_[depth];
}

// The recursion of barThruster: level(depth).angles is this call's own copy of the list.
forceMom BarringAndRescaling::search(const forceMom& demand, Shipobj& ship, std::size_t depth) {
    std::vector<double>& angles = level(depth).angles;
    const std::vector<std::int32_t> barred = ship.barredThrusters();
    if (barred.size() == 2 && barred[1] == 1) {
        barMainThrusters(demand, ship);
        return solveAllocation(barredAngles_, demand, problem_, ship_);
    }

    // An index beyond the list has no entry to fix, so it does not count as free.
    std::size_t chosen = 0;
    bool found = false;
    for (const std::int32_t index : barred) {
        const auto i = static_cast<std::size_t>(index);
        if (i < angles.size() && angles[i] == kFreeDirection) {
            chosen = i;
            found = true;
            break;
        }
    }
    if (!found) {
        return solveAllocation(angles, demand, problem_, ship);
    }

    const Thrusterobj& thruster = ship.thruster(static_cast<unsigned int>(chosen));
    double a = thruster.lowerAngle();
    double u = thruster.upperAngle();
    if (!(u > a)) {
        u = u + kTwoPi;  // the range wraps through 0
    }
    const double step = (u - a) / kRangeSteps;

    Shipobj& working = level(depth).working;
    working = ship;
    angles[chosen] = a;
    // Only the first trial starts thruster `chosen` from zero thrust; later trials start
    // from whatever the previous trial left in the working ship.
    working.adjustforceThruster(static_cast<unsigned int>(chosen), 0.0, 0.0);

    // The callee gets a copy of the list, as by value: its changes stay on its own level.
    level(depth + 1).angles = angles;
    forceMom best = search(demand, working, depth + 1);
    double bestDiff = clampedDifference(demand, best);
    ship = working;

    for (int trial = 0; trial < kRepeatedTrials; ++trial) {
        angles[chosen] = a;
        level(depth + 1).angles = angles;
        const forceMom outcome = search(demand, working, depth + 1);
        const double diff = clampedDifference(demand, outcome);
        if (diff < bestDiff || (diff == bestDiff && outcome.extra < best.extra)) {
            best = outcome;
            bestDiff = diff;
            ship = working;
        }
        a = a + step;
        if (a > kTwoPi) {
            a = a - kTwoPi;
        }
    }
    return best;
}

void BarringAndRescaling::barMainThrusters(const forceMom& demand, Shipobj& ship) {
    // What thrusters 2 onward leave over, counted in the stored frame.
    forceMom residual = demand;
    for (std::uint32_t k = 2; k < ship.count(); ++k) {
        const Thrusterobj& t = ship.thruster(k);
        const forceMom thrust = storedFrameThrust(t.forceX(), t.forceY(), t.posX(), t.posY());
        residual.fwd -= thrust.fwd;
        residual.swd -= thrust.swd;
        residual.rot -= thrust.rot;
    }

    mainShip_.clear();
    mainShip_.addThruster(ship.getThruster(0));
    mainShip_.addThruster(ship.getThruster(1));
    if (barredAngles_.size() < 2) {
        barredAngles_.resize(2, kFreeDirection);
    }

    solveAllocation(barredAngles_, residual, problem_, mainShip_);
    const Thrusterobj main0 = mainShip_.getThruster(0);
    const Thrusterobj main1 = mainShip_.getThruster(1);

    const int status0 = main0.rangeStatus(0.0);
    barredAngles_[0] = main0.effectiveAngle();
    if (status0 == kNeitherInRange) {
        solveAllocation(barredAngles_, residual, problem_, mainShip_);
    }
    const int status1 = main1.rangeStatus(0.0);
    barredAngles_[1] = main1.effectiveAngle();
    if (status1 == kNeitherInRange) {
        solveAllocation(barredAngles_, residual, problem_, mainShip_);
    }

    ship.adjustforceThruster(0, main0.forceX(), main0.forceY());
    ship.adjustforceThruster(1, main1.forceX(), main1.forceY());
    solveAllocation(barredAngles_, demand, problem_, ship);
}

void BarringAndRescaling::rescale() {
    const std::uint32_t n = ship_.count();
    scaledX_.resize(n);
    scaledY_.resize(n);
    double common = 1.0;
    double sumX = 0.0;
    double sumY = 0.0;
    double sumMoment = 0.0;
    for (std::uint32_t j = 0; j < n; ++j) {
        const Thrusterobj& t = ship_.thruster(j);
        double fx = t.forceX();
        double fy = t.forceY();
        if (t.maxForce() < t.force()) {
            const double k = t.maxForce() / t.force();
            fx = fx * k;
            fy = fy * k;
            if (k < common) {
                common = k;
            }
        }
        scaledX_[j] = fx;
        scaledY_[j] = fy;
        const forceMom thrust = rescaleFrameThrust(fx, fy, t.posX(), t.posY());
        sumX += thrust.fwd;
        sumY += thrust.swd;
        sumMoment += thrust.rot;
    }

    const double r1 = sumX / demandedThrust_.fwd;
    const double r2 = sumY / demandedThrust_.swd;
    const double r3 = sumMoment / demandedThrust_.rot;
    const bool proportional = std::fabs(r1 - r2) < 0.1 && std::fabs(r1 - r3) < 0.1;

    for (std::uint32_t j = 0; j < n; ++j) {
        if (proportional) {
            ship_.adjustforceThruster(j, scaledX_[j], scaledY_[j]);
        } else {
            const Thrusterobj& t = ship_.thruster(j);
            ship_.adjustforceThruster(j, t.forceX() * common, t.forceY() * common);
        }
    }
}
