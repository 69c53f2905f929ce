// The ordered set of thrusters of one vessel and its total thrust.
#include "allocation/Shipobj.h"

#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterType.h"
#include "mathlib/FixedTextError.h"

namespace {

// Types 2 and 3 are judged by their rotation range, every other type by its flag.
bool inRange(const Thrusterobj& t) {
    return hasRotationLimit(t.type()) ? t.rangeStatus(0.0) != kNeitherInRange : t.feasible();
}

}  // namespace

void Shipobj::clear() {
    count_ = 0;
    hasLimitedRotation_ = false;
    thrusters_.clear();
}

void Shipobj::addThruster(Thrusterobj thruster) {
    const bool limited = hasRotationLimit(thruster.type());
    thrusters_.push_back(thruster);
    if (limited) {
        hasLimitedRotation_ = true;
    }
    ++count_;
}

Thrusterobj Shipobj::getThruster(unsigned int i) const {
    if (i >= count_) {
        throw FixedTextError("Error in Class:Shipobj Function:getThruster. Index out of bounds.");
    }
    return thrusters_[i];
}

double Shipobj::adjustforceThruster(unsigned int i, double fx, double fy) {
    if (i >= count_) {
        throw FixedTextError(
            "Error in Class:Shipobj Function:adjustforceThruster. Index out of bounds.");
    }
    return thrusters_[i].setForce(fx, fy);
}

std::vector<std::int32_t> Shipobj::barredThrusters() const {
    std::vector<std::int32_t> barred;
    for (std::uint32_t i = 0; i < count_; ++i) {
        if (!inRange(thrusters_[i])) {
            barred.push_back(static_cast<std::int32_t>(i));
        }
    }
    return barred;
}

bool Shipobj::anyBarred() const {
    for (const Thrusterobj& t : thrusters_) {
        if (!inRange(t)) {
            return true;
        }
    }
    return false;
}

forceMom Shipobj::totalForce() const {
    forceMom total(0.0, 0.0, 0.0, 0.0);
    for (const Thrusterobj& t : thrusters_) {
        const forceMom thrust = shipThrust(t.forceX(), t.forceY(), t.posX(), t.posY());
        total.fwd += thrust.fwd;
        total.swd += thrust.swd;
        total.rot += thrust.rot;
        total.extra += t.force();
    }
    return total;
}

forceMom presentThrust(const Shipobj& ship) {
    forceMom present(0.0, 0.0, 0.0, 0.0);
    for (const Thrusterobj& t : ship.thrusters()) {
        const forceMom thrust = storedFrameThrust(t.forceX(), t.forceY(), t.posX(), t.posY());
        present.fwd += thrust.fwd;
        present.swd += thrust.swd;
        present.rot += thrust.rot;
    }
    return present;
}
