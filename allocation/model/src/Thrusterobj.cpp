// One thruster: thrust clipping, rotation range and the angle it is set to.
#include "allocation/Thrusterobj.h"

#include <cmath>

#include "allocation/ThrusterType.h"
#include "allocation/angles.h"
#include "mathlib/FixedTextError.h"

Thrusterobj::Thrusterobj() {
    setForce(0.0, 0.0);
    MaxRotation(0.0);
}

Thrusterobj::Thrusterobj(signed char number, double posX, double posY, signed char type,
                         double maxForce, double force, double reversePenalty, double angle,
                         double startAngle, double maxRotation)
    : number_(number),
      posX_(posX),
      posY_(posY),
      type_(type),
      maxForce_(std::fabs(maxForce)),
      maxForceSq_(maxForce_ * maxForce_),
      reversePenalty_(reversePenalty),
      angle_(angle),
      startAngle_(startAngle),
      direction_(angle) {
    // A negative force points the thrust opposite to the set angle.
    setForce(force * std::cos(angle), force * std::sin(angle));
    MaxRotation(std::fabs(maxRotation));
}

Thrusterobj::Thrusterobj(const ThrusterParams& p)
    : Thrusterobj(p.number, p.posX, p.posY, p.type, p.maxForce, p.force, p.reversePenalty, p.angle,
                  p.startAngle, p.maxRotation) {}

double Thrusterobj::setForce(double fx, double fy) {
    forceX_ = fx;
    forceY_ = fy;
    force_ = std::sqrt(fx * fx + fy * fy);
    double factor = 1.0;
    if (force_ > maxForce_) {
        factor = maxForce_ / force_;
        forceX_ *= factor;
        forceY_ *= factor;
        force_ = std::sqrt(forceX_ * forceX_ + forceY_ * forceY_);
    }
    // Without thrust there is no direction to derive: keep the set angle.
    direction_ = force_ == 0.0 ? angle_ : polarAngle(forceX_, forceY_);
    return factor;
}

void Thrusterobj::MaxRotation(double r) {
    // Written so that NaN fails too.
    if (!(r >= 0.0) || r > kTwoPi) {
        throw FixedTextError(
            "Error in Class:Thrusterobj Function:MaxRotation. Incorrect input value.");
    }
    maxRotation_ = r;
    upperAngle_ = wrapMod(r + startAngle_, kTwoPi);
    lowerAngle_ = wrapMod(startAngle_ - maxRotation_, kTwoPi);
}

int Thrusterobj::rangeStatus(double tol) const {
    if (maxRotation_ >= kPi) {
        return kInRange;  // the range covers every direction
    }
    const double U = upperAngle_ + tol;
    const double L = lowerAngle_ - tol;
    const double opp = wrapMod(direction_ + kPi, kTwoPi);
    if (U > L) {
        if (L <= direction_ && direction_ <= U) {
            return kInRange;
        }
        return (L <= opp && opp <= U) ? kOppositeInRange : kNeitherInRange;
    }
    // The range wraps through 0 (also a zero-width range with no tolerance).
    if (direction_ >= L || direction_ <= U) {
        return kInRange;
    }
    return (opp >= L || opp <= U) ? kOppositeInRange : kNeitherInRange;
}

bool Thrusterobj::canPointAlong(double a) const {
    if (maxRotation_ >= kPi) {
        return true;
    }
    const double opp = wrapMod(kPi + a, kTwoPi);
    if (lowerAngle_ < upperAngle_) {
        return (lowerAngle_ <= a && a <= upperAngle_) || (lowerAngle_ <= opp && opp <= upperAngle_);
    }
    return a >= lowerAngle_ || a <= upperAngle_ || opp >= lowerAngle_ || opp <= upperAngle_;
}

double Thrusterobj::nearestLimit() const {
    const double dL = std::fabs(lowerAngle_ - direction_);
    const double dU = std::fabs(upperAngle_ - direction_);
    // The plain distances ignore wrap-around; the distance through the opposite direction
    // decides whether the farther bound is in fact the nearer one.
    if (dU > dL) {
        const double m = wrapMod(std::fabs(upperAngle_ + kPi - direction_), kTwoPi);
        return m <= dL ? upperAngle_ : lowerAngle_;
    }
    const double m = wrapMod(std::fabs(lowerAngle_ + kPi - direction_), kTwoPi);
    return m < dU ? lowerAngle_ : upperAngle_;
}

double Thrusterobj::effectiveAngle() const {
    if (type_ == kFixedDirection) {
        return startAngle_;
    }
    if (force_ == 0.0) {
        return angle_;
    }
    switch (rangeStatus(0.0)) {
        case kInRange:
            return direction_;
        case kOppositeInRange:
            // Turned to the opposite direction with the thrust reversed.
            return wrapMod(direction_ + kPi, kTwoPi);
        default:
            return nearestLimit();
    }
}
