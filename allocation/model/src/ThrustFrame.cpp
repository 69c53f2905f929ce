// The thrust of a table row in the ship's frame.
#include "allocation/ThrustFrame.h"

#include <cmath>

forceMom rowThrust(double force, double angle, double posX, double posY) {
    return shipThrust(force * std::cos(angle), force * std::sin(angle), posX, posY);
}
