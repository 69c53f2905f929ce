// Rows, thrust map and polygons. Polygons are inscribed (no setting exceeds a maximum) with
// their vertices on the sector edges, so that an edge never cuts a polygon side through a
// vertex: those cuts made active sets linearly dependent.
#include "VesselModel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "allocation/ThrustFrame.h"

namespace optimal {

namespace {

constexpr double kTurn = 4.0 * kTrueRightAngle;
constexpr double kHalfTurn = 2.0 * kTrueRightAngle;
// A force counts as inside a sector when it misses an edge by at most this share of the
// row's reach: rounding of a solution on the edge.
constexpr double kSectorTolerance = 1e-9;

// Universe layout of a double sector of k pieces per arc.
int forwardChords(const RowModel& r) {
    return r.firstConstraint;
}
int reverseChords(const RowModel& r) {
    return r.firstConstraint + r.pieces;
}
int forwardEdges(const RowModel& r) {
    return r.firstConstraint + 2 * r.pieces;
}
int reverseEdges(const RowModel& r) {
    return forwardEdges(r) + 2;
}
int stripLines(const RowModel& r) {
    return forwardEdges(r) + 4;
}

Eigen::Vector3d unitThrust(double forceX, double forceY, const AttainableSet& set,
                           double armScale) {
    const forceMom thrust = shipThrust(forceX, forceY, set.posX, set.posY);
    return Eigen::Vector3d(thrust.fwd, thrust.swd, thrust.rot / armScale);
}

}  // namespace

VesselModel::VesselModel(const Shipobj& ship, int polygonSides) {
    if (polygonSides < 3) {
        throw std::invalid_argument("optimal allocator: a polygon needs at least 3 sides");
    }
    for (const Thrusterobj& t : ship.thrusters()) {
        forceScale_ = std::max(forceScale_, t.maxForce());
        armScale_ = std::max(armScale_, std::hypot(t.posX(), t.posY()));
    }
    thrustMap_.setZero(3, 2 * static_cast<Eigen::Index>(ship.count()));
    for (const Thrusterobj& t : ship.thrusters()) {
        const AttainableSet set = attainableSet(t);
        RowModel r;
        r.shape = set.shape;
        r.reach = set.maxForce / forceScale_;
        r.centre = set.angle;
        r.halfWidth = set.halfWidth;
        r.axis[0] = std::cos(r.centre);
        r.axis[1] = std::sin(r.centre);
        r.halfWidthCos = std::cos(r.halfWidth);
        r.halfWidthSin = std::sin(r.halfWidth);
        r.firstConstraint = static_cast<int>(universe_.size());
        if (set.shape == AttainableSet::Shape::doubleSector && set.halfWidth == 0.0) {
            // Two opposite rays make one segment, pushed alike both ways.
            r.shape = AttainableSet::Shape::segment;
        } else if (set.shape == AttainableSet::Shape::segment) {
            r.reverseEfficiency = t.reversePenalty();
        }
        const int first = 2 * rowCount();
        if (r.shape == AttainableSet::Shape::segment) {
            const Eigen::Vector3d along =
                unitThrust(std::cos(r.centre), std::sin(r.centre), set, armScale_);
            r.column[0] = along;
            r.column[1] = -along;
            addSegment(r);
        } else {
            r.column[0] = unitThrust(1.0, 0.0, set, armScale_);
            r.column[1] = unitThrust(0.0, 1.0, set, armScale_);
            if (r.shape == AttainableSet::Shape::disc) {
                r.pieces = polygonSides;
                r.sideDistance = r.reach * std::cos(kTurn / polygonSides / 2.0);
                addChords(first, 0.0, kTurn, polygonSides, r.reach);
            } else {
                addDoubleSector(r, polygonSides);
                sectorRows_.push_back(rowCount());
            }
        }
        thrustMap_.col(first) = r.column[0];
        thrustMap_.col(first + 1) = r.column[1];
        rows_.push_back(r);
    }
    findMomentRange();
}

void VesselModel::addSegment(RowModel& r) {
    const int first = 2 * rowCount();
    for (int k = 0; k < 2; ++k) {
        addLine(first + k, -1.0, 0.0, 0.0);  // part >= 0
        addLine(first + k, 1.0, 0.0, r.reach);
    }
}

void VesselModel::addDoubleSector(RowModel& r, int polygonSides) {
    const int first = 2 * rowCount();
    const double width = 2.0 * r.halfWidth;
    r.pieces = std::max(1, static_cast<int>(std::ceil(width / (kTurn / polygonSides) - 1e-9)));
    r.sideDistance = r.reach * std::cos(width / r.pieces / 2.0);
    const double opposite = r.centre + kHalfTurn;
    addChords(first, r.centre - r.halfWidth, width, r.pieces, r.reach);
    addChords(first, opposite - r.halfWidth, width, r.pieces, r.reach);
    addEdge(first, r.centre - r.halfWidth, true);
    addEdge(first, r.centre + r.halfWidth, false);
    addEdge(first, opposite - r.halfWidth, true);
    addEdge(first, opposite + r.halfWidth, false);
    // The hull of both sectors: the disc between two lines parallel to the centre line,
    // through the outer vertices.
    const double offset = r.reach * std::sin(r.halfWidth);
    addLine(first, -std::sin(r.centre), std::cos(r.centre), offset);
    addLine(first, std::sin(r.centre), -std::cos(r.centre), offset);
}

// Sides of the inscribed polygon on the arc from `from` over `width`: a side between vertices
// at angles a and a + step lies at reach * cos(step / 2) along the middle angle.
void VesselModel::addChords(int first, double from, double width, int pieces, double reach) {
    const double step = width / pieces;
    const double distance = reach * std::cos(step / 2.0);
    for (int k = 0; k < pieces; ++k) {
        const double middle = from + step * (k + 0.5);
        addLine(first, std::cos(middle), std::sin(middle), distance);
    }
}

// The half plane through the origin bounded by the ray at `angle`: on its counter-clockwise
// side (a lower edge) or its clockwise side (an upper edge).
void VesselModel::addEdge(int first, double angle, bool counterClockwiseSide) {
    const double sign = counterClockwiseSide ? 1.0 : -1.0;
    addLine(first, sign * std::sin(angle), -sign * std::cos(angle), 0.0);
}

// nx x + ny y <= bound on the variables first, first + 1 (or nx alone on `first`).
void VesselModel::addLine(int first, double nx, double ny, double bound) {
    PairConstraint c;
    c.i0 = first;
    c.a0 = nx;
    if (ny != 0.0) {
        c.i1 = first + 1;
        c.a1 = ny;
    }
    c.b = bound;
    universe_.push_back(c);
}

void VesselModel::blocksFor(const std::vector<Sector>& choices,
                            std::vector<InequalityBlock>& blocks) const {
    blocks.clear();
    std::size_t sector = 0;
    for (int i = 0; i < rowCount(); ++i) {
        const RowModel& r = rows_[static_cast<std::size_t>(i)];
        // A polygon's sides, which all hold within the circle they touch.
        const auto sides = [&](int first) {
            blocks.push_back({first, r.pieces, 2 * i, 2 * i + 1, r.sideDistance * r.sideDistance});
        };
        const auto lines = [&](int first, int count) { blocks.push_back({first, count}); };
        switch (r.shape) {
            case AttainableSet::Shape::segment:
                lines(r.firstConstraint, 4);
                break;
            case AttainableSet::Shape::disc:
                sides(r.firstConstraint);
                break;
            case AttainableSet::Shape::doubleSector: {
                const Sector choice = choices[sector++];
                if (choice != Sector::reverse) {
                    sides(forwardChords(r));
                }
                if (choice != Sector::forward) {
                    sides(reverseChords(r));
                }
                if (choice == Sector::forward) {
                    lines(forwardEdges(r), 2);
                } else if (choice == Sector::reverse) {
                    lines(reverseEdges(r), 2);
                } else {
                    lines(stripLines(r), 2);
                }
                break;
            }
        }
    }
}

double VesselModel::edgeViolation(int row, double x, double y, Sector sector) const {
    int edge = -1;
    return worstEdge(row, x, y, sector, edge);
}

// The larger violation of the sector's two edges (0 when neither is violated) and that edge.
double VesselModel::worstEdge(int row, double x, double y, Sector sector, int& edge) const {
    const RowModel& r = rows_[static_cast<std::size_t>(row)];
    const int first = sector == Sector::forward ? forwardEdges(r) : reverseEdges(r);
    double worst = 0.0;
    for (int k = 0; k < 2; ++k) {
        const PairConstraint& c = universe_[static_cast<std::size_t>(first + k)];
        const double violation = c.a0 * x + c.a1 * y - c.b;
        if (violation > worst) {
            worst = violation;
            edge = first + k;
        }
    }
    return worst;
}

int VesselModel::crossedEdge(int row, double x, double y, Sector sector) const {
    int edge = -1;
    const double violation = worstEdge(row, x, y, sector, edge);
    return violation > kSectorTolerance * rows_[static_cast<std::size_t>(row)].reach ? edge : -1;
}

bool VesselModel::inSector(int row, double x, double y, Sector sector) const {
    return edgeViolation(row, x, y, sector) <=
           kSectorTolerance * rows_[static_cast<std::size_t>(row)].reach;
}

double VesselModel::outsideSectors(int row, double x, double y) const {
    return std::min(edgeViolation(row, x, y, Sector::forward),
                    edgeViolation(row, x, y, Sector::reverse));
}

// The set is a product of row sets and the moment is linear, so its extremes are sums of
// each row's extremes over the polygon's vertices (the origin included).
void VesselModel::findMomentRange() {
    double& smallest = momentLow_;
    double& largest = momentHigh_;
    for (const RowModel& r : rows_) {
        double low = 0.0;
        double high = 0.0;
        const auto vertex = [&](double angle) {
            const double m =
                r.reach * (r.column[0](2) * std::cos(angle) + r.column[1](2) * std::sin(angle));
            low = std::min(low, m);
            high = std::max(high, m);
        };
        if (r.shape == AttainableSet::Shape::segment) {
            low = -r.reach * std::fabs(r.column[0](2));
            high = -low;
        } else if (r.shape == AttainableSet::Shape::disc) {
            for (int k = 0; k < r.pieces; ++k) {
                vertex(kTurn * k / r.pieces);
            }
        } else {
            for (const double centre : {r.centre, r.centre + kHalfTurn}) {
                for (int k = 0; k <= r.pieces; ++k) {
                    vertex(centre - r.halfWidth + 2.0 * r.halfWidth * k / r.pieces);
                }
            }
        }
        smallest += low;
        largest += high;
    }
}

}  // namespace optimal
