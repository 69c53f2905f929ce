// The ship's thrust frame: how a thruster's force components add up to surge force, sway
// force and yaw moment. Three rules are in use, and each lives here only.
//
// A thruster stores forceX along the bow and forceY at a right angle to it (angle pi/2 from
// the bow), at forward arm posX and sideways arm posY from the reference point.
//
// - shipThrust: the ship's total, the thrust the channel publishes as "Thrust Generated".
//   Sway counts minus forceY; the moment is sway * posX - forceX * posY.
// - storedFrameThrust: the rule of the check of a table's present settings and of the
//   residual left to the two main thrusters in the barring search. Sway counts plus forceY;
//   the moment is forceY * posX - forceX * posY. The energy minimiser sums its own
//   variables (Fx, Fy), whose Fy becomes minus forceY on write-back, with this rule too.
// - rescaleFrameThrust: the rule of the rescaling's proportionality test. Sway counts plus
//   forceY, and the moment is -(posX * forceY + posY * forceX): neither of the others.
//
// A table's published rows are judged with shipThrust, like "Thrust Generated".
#pragma once

#include "allocation/forceMom.h"

// extra is left 0 by all of them.
inline forceMom shipThrust(double forceX, double forceY, double posX, double posY) {
    const double side = -forceY;
    return forceMom(forceX, side, side * posX - forceX * posY, 0.0);
}

inline forceMom storedFrameThrust(double forceX, double forceY, double posX, double posY) {
    return forceMom(forceX, forceY, forceY * posX - forceX * posY, 0.0);
}

inline forceMom rescaleFrameThrust(double forceX, double forceY, double posX, double posY) {
    return forceMom(forceX, forceY, -(posX * forceY + posY * forceX), 0.0);
}

// shipThrust of a table row: `force` along `angle` (radians from the bow), so a negative
// force pushes the opposite way.
forceMom rowThrust(double force, double angle, double posX, double posY);
