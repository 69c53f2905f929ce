// The publication rule and the thrust of a published table.
#include "allocation/Publication.h"

#include <cmath>
#include <cstddef>

#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterType.h"

PublishedRow publishedRow(const Thrusterobj& t) {
    const double tolerance =
        t.type() == kFixedDirection ? kPublishFixedRangeTolerance : kPublishRangeTolerance;
    PublishedRow published;
    published.row = t.number();
    published.force = static_cast<float>(t.rangeStatus(tolerance) * t.force());
    published.angle = static_cast<float>(t.effectiveAngle());
    return published;
}

std::vector<PublishedRow> publishedRows(const Shipobj& ship) {
    std::vector<PublishedRow> rows;
    rows.reserve(ship.count());
    for (const Thrusterobj& t : ship.thrusters()) {
        rows.push_back(publishedRow(t));
    }
    return rows;
}

forceMom publishedThrust(const Shipobj& ship, const std::vector<PublishedRow>& rows) {
    forceMom total(0.0, 0.0, 0.0, 0.0);
    for (std::size_t i = 0; i < rows.size() && i < ship.count(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        const forceMom thrust = rowThrust(rows[i].force, rows[i].angle, t.posX(), t.posY());
        total.fwd += thrust.fwd;
        total.swd += thrust.swd;
        total.rot += thrust.rot;
        total.extra += std::fabs(static_cast<double>(rows[i].force));
    }
    return total;
}
