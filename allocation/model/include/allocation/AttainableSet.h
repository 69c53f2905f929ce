// What one active thruster can push, whatever the allocator: the set of forces (in the frame
// in which the thruster stores them: forceX along the bow, forceY at its angle pi/2) that a
// setting within its limits produces. The physical limit and every allocator that claims to
// reach it read the sets here, so that "feasible" means one thing everywhere.
#pragma once

#include "allocation/Thrusterobj.h"

// A true right angle. From here on, a rotation range and its reverse cover every direction;
// the model's truncated quarter turn plays no part in what a thruster can reach.
inline constexpr double kTrueRightAngle = 1.57079632679489662;

struct AttainableSet {
    enum class Shape {
        segment,       // along `angle`, either sign, up to maxForce: fixed direction
        disc,          // any direction up to maxForce
        doubleSector,  // within halfWidth of `angle` or of its reverse: limited rotation
    };
    Shape shape = Shape::disc;
    double maxForce = 0.0;
    double angle = 0.0;
    double halfWidth = 0.0;  // doubleSector only, below a right angle
    double posX = 0.0;       // forward arm
    double posY = 0.0;       // sideways arm
};

// Fixed-direction types give a segment along the start angle; limited-rotation types whose
// half width is below a right angle give the range and its reverse; every other thruster a
// disc.
AttainableSet attainableSet(const Thrusterobj& t);
