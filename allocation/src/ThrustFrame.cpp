// The thrust of a table row in the ship's frame.
#include "allocation/ThrustFrame.h"

#include <cmath>

#include "allocation/Shipobj.h"

forceMom rowThrust(double force, double angle, double posX, double posY) {
    return shipThrust(force * std::cos(angle), force * std::sin(angle), posX, posY);
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
