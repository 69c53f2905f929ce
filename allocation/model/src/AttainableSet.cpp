// The attainable set of a thruster from its type and rotation range.
#include "allocation/AttainableSet.h"

#include "allocation/ThrusterType.h"

AttainableSet attainableSet(const Thrusterobj& t) {
    AttainableSet set;
    set.maxForce = t.maxForce();
    set.posX = t.posX();
    set.posY = t.posY();
    if (hasFixedDirection(t.type())) {
        set.shape = AttainableSet::Shape::segment;
        set.angle = t.startAngle();
    } else if (hasRotationLimit(t.type()) && t.maxRotation() < kTrueRightAngle) {
        set.shape = AttainableSet::Shape::doubleSector;
        set.angle = t.startAngle();
        set.halfWidth = t.maxRotation();
    }
    return set;
}
