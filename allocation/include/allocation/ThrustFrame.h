// The ship's thrust frame: how a thruster's stored force components add up to surge force,
// sway force and yaw moment. Two rules are in use, and each lives here only.
//
// A thruster stores forceX along the bow and forceY at a right angle to it (angle pi/2 from
// the bow), at forward arm posX and sideways arm posY from the reference point.
//
// - shipThrust: the ship's total, the thrust the channel publishes as "Thrust Generated".
//   Sway counts minus forceY; the moment is sway * posX - forceX * posY.
// - storedFrameThrust: the rule of the check of a table's present settings and of the
//   residual left to the two main thrusters in the barring search. Sway counts plus forceY;
//   the moment is forceY * posX - forceX * posY.
//
// A table's published rows are judged with shipThrust, like "Thrust Generated".
#pragma once

#include "allocation/forceMom.h"

// extra is left 0.
forceMom shipThrust(double forceX, double forceY, double posX, double posY);
forceMom storedFrameThrust(double forceX, double forceY, double posX, double posY);

// shipThrust of a table row: `force` along `angle` (radians from the bow), so a negative
// force pushes the opposite way.
forceMom rowThrust(double force, double angle, double posX, double posY);
