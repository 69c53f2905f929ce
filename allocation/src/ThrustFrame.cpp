// The two sign rules of the thrust frame.
#include "allocation/ThrustFrame.h"

#include <cmath>

forceMom shipThrust(double forceX, double forceY, double posX, double posY) {
    const double side = -forceY;
    return forceMom(forceX, side, side * posX - forceX * posY, 0.0);
}

forceMom storedFrameThrust(double forceX, double forceY, double posX, double posY) {
    return forceMom(forceX, forceY, forceY * posX - forceX * posY, 0.0);
}

forceMom rowThrust(double force, double angle, double posX, double posY) {
    return shipThrust(force * std::cos(angle), force * std::sin(angle), posX, posY);
}
