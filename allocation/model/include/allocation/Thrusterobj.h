// One thruster: geometry, limits, rotation range and current thrust.
// A plain value type without heap memory, so copies are memory copies.
#pragma once

// What rangeStatus reports (stored as int: it multiplies the published force).
enum RangeStatus : int {
    kOppositeInRange = -1,  // only the reversed direction lies in the range
    kNeitherInRange = 0,
    kInRange = 1,
};

// The constructor's arguments by name, in its order.
struct ThrusterParams {
    signed char number = 0;  // row in the thruster table
    double posX = 0.0;       // forward arm
    double posY = 0.0;       // sideways arm
    signed char type = 0;    // a ThrusterType code, or any other value
    double maxForce = 0.0;
    double force = 0.0;  // along angle; negative points the other way
    double reversePenalty = 0.0;
    double angle = 0.0;
    double startAngle = 0.0;
    double maxRotation = 0.0;  // half width of the rotation range
};

class Thrusterobj {
  public:
    // Every double 0, type 0, zero thrust, a zero-width range at angle 0.
    Thrusterobj();
    // Throws FixedTextError when |maxRotation| is above 2pi or not a number.
    Thrusterobj(signed char number, double posX, double posY, signed char type, double maxForce,
                double force, double reversePenalty, double angle, double startAngle,
                double maxRotation);
    explicit Thrusterobj(const ThrusterParams& p);

    // Sets the thrust components, clipped to maxForce; returns the clip factor.
    double setForce(double fx, double fy);
    // Sets the half width of the rotation range; throws FixedTextError outside [0, 2pi].
    void MaxRotation(double r);

    // A RangeStatus: whether the direction (or only its opposite) lies in the range widened
    // by tol on both sides.
    int rangeStatus(double tol) const;
    // Whether a or its opposite lies in the rotation range.
    bool canPointAlong(double a) const;
    // The range bound an out-of-range thruster is turned to.
    double nearestLimit() const;
    // The angle the thruster is set to.
    double effectiveAngle() const;

    signed char number() const { return number_; }
    double posX() const { return posX_; }
    double posY() const { return posY_; }
    signed char type() const { return type_; }
    double maxForce() const { return maxForce_; }
    double maxForceSq() const { return maxForceSq_; }
    double reversePenalty() const { return reversePenalty_; }
    double angle() const { return angle_; }
    double startAngle() const { return startAngle_; }
    double maxRotation() const { return maxRotation_; }
    double lowerAngle() const { return lowerAngle_; }
    double upperAngle() const { return upperAngle_; }
    double forceX() const { return forceX_; }
    double forceY() const { return forceY_; }
    double force() const { return force_; }
    double direction() const { return direction_; }
    bool feasible() const { return feasible_; }

  private:
    signed char number_ = 0;  // row in the thruster table
    double posX_ = 0.0;       // forward arm
    double posY_ = 0.0;       // sideways arm
    signed char type_ = 0;
    double maxForce_ = 0.0;
    double maxForceSq_ = 0.0;
    double reversePenalty_ = 0.0;
    double angle_ = 0.0;  // set angle: the direction while the thrust is zero
    double startAngle_ = 0.0;
    double maxRotation_ = 0.0;
    double lowerAngle_ = 0.0;
    double upperAngle_ = 0.0;
    double forceX_ = 0.0;
    double forceY_ = 0.0;
    double force_ = 0.0;
    double direction_ = 0.0;
    bool feasible_ = true;
};
