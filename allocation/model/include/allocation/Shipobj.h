// The ordered set of thrusters of one vessel.
#pragma once

#include <cstdint>
#include <vector>

#include "allocation/ThrusterType.h"
#include "allocation/Thrusterobj.h"
#include "allocation/forceMom.h"

class Shipobj {
  public:
    Shipobj() = default;

    void clear();
    void addThruster(Thrusterobj thruster);

    // Copy of thruster i; throws FixedTextError when i >= count.
    Thrusterobj getThruster(unsigned int i) const;
    std::vector<Thrusterobj> getThrusters() const { return thrusters_; }
    // setForce on thruster i in place; throws FixedTextError when i >= count.
    double adjustforceThruster(unsigned int i, double fx, double fy);

    // Ascending indices of type 2 and 3 thrusters that cannot take their thrust direction.
    std::vector<std::int32_t> barredThrusters() const;
    // Whether barredThrusters() would be non-empty, without building the list.
    bool anyBarred() const;
    // The sum of every thruster's shipThrust (see ThrustFrame.h); extra = sum of force.
    forceMom totalForce() const;

    std::uint32_t count() const { return count_; }
    bool hasLimitedRotation() const { return hasLimitedRotation_; }
    // Read access without copying; i must be below count.
    const Thrusterobj& thruster(unsigned int i) const { return thrusters_[i]; }
    const std::vector<Thrusterobj>& thrusters() const { return thrusters_; }

  private:
    std::uint32_t count_ = 0;
    std::vector<Thrusterobj> thrusters_;
    bool hasLimitedRotation_ = false;
};

// The ship's two thrust sums live beside each other in Shipobj.cpp: totalForce above, and
// this one, the sum of every thruster's storedFrameThrust from zero (extra 0): what the check
// of a table's present settings compares with the demand.
forceMom presentThrust(const Shipobj& ship);
