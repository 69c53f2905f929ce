// The allocator's view of a vessel: two variables per active row, the scaled thrust map, and
// the polygons that stand in for each row's attainable set (allocation/AttainableSet.h).
//
// Forces are in units of the largest maximum force, moments in units of that force times the
// largest arm, so that every coefficient is of order one. Each row's constraints belong to a
// fixed list (the universe), so that active sets carry over between sector choices and
// requests.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "allocation/AttainableSet.h"
#include "allocation/Shipobj.h"
#include "optimal/DualActiveSetQp.h"

namespace optimal {

// Which part of a two-sector row's set a problem uses.
enum class Sector : signed char {
    forward = 0,  // within the half width of the start angle
    reverse = 1,  // within the half width of its opposite
    hull = 2,     // the convex hull of both: the relaxation of the choice
};

struct RowModel {
    // segment: a fixed direction or a zero-width double sector, with variables (forward part,
    // reverse part) >= 0; disc and doubleSector: the stored-frame force (x, y).
    AttainableSet::Shape shape = AttainableSet::Shape::disc;
    double reach = 0.0;   // maximum force, scaled
    double centre = 0.0;  // start angle (segment and doubleSector)
    double halfWidth = 0.0;
    double axis[2] = {1.0, 0.0};  // unit vector along the centre
    double halfWidthCos = 1.0;
    double halfWidthSin = 0.0;
    double reverseEfficiency = 1.0;  // eta of the reverse part of a segment
    int pieces = 0;                  // polygon edges per arc (disc: per turn)
    int firstConstraint = 0;         // the row's constraints in the universe
    double sideDistance = 0.0;       // of the polygon sides from the origin (disc, doubleSector)
    // Scaled thrust (fwd, swd, rot) of one unit of each of the row's two variables.
    Eigen::Vector3d column[2];
};

class VesselModel {
  public:
    // polygonSides: edges of a full-turn polygon; arcs get edges at most as long.
    VesselModel(const Shipobj& ship, int polygonSides);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    int variableCount() const { return 2 * rowCount(); }
    const RowModel& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
    // The rows with two sectors, in ship order.
    const std::vector<int>& sectorRows() const { return sectorRows_; }
    double forceScale() const { return forceScale_; }
    double armScale() const { return armScale_; }
    // B: the scaled thrust of the variables, 3 x variableCount.
    const Eigen::MatrixXd& thrustMap() const { return thrustMap_; }
    const std::vector<PairConstraint>& universe() const { return universe_; }

    // The universe's constraints with the given choice for each sector row (indexed like
    // sectorRows()), in universe order, the polygon sides as blocks around their circles.
    void blocksFor(const std::vector<Sector>& choices, std::vector<InequalityBlock>& blocks) const;
    // Whether the row's force (x, y) lies in the given sector, up to rounding.
    bool inSector(int row, double x, double y, Sector sector) const;
    // The universe index of the sector's edge that the row's force lies beyond (the farther
    // one), or -1 when it lies within the sector.
    int crossedEdge(int row, double x, double y, Sector sector) const;
    // How far (scaled force) the row's force lies outside both sectors; 0 inside one.
    double outsideSectors(int row, double x, double y) const;
    // The smallest and largest scaled moment any setting within the polygons produces.
    void momentRange(double& smallest, double& largest) const {
        smallest = momentLow_;
        largest = momentHigh_;
    }

  private:
    void addSegment(RowModel& r);
    void addDoubleSector(RowModel& r, int polygonSides);
    void addChords(int first, double from, double width, int pieces, double reach);
    void addEdge(int first, double angle, bool counterClockwiseSide);
    void addLine(int first, double nx, double ny, double bound);
    double edgeViolation(int row, double x, double y, Sector sector) const;
    double worstEdge(int row, double x, double y, Sector sector, int& edge) const;
    void findMomentRange();

    std::vector<RowModel> rows_;
    std::vector<int> sectorRows_;
    double forceScale_ = 1.0;
    double armScale_ = 1.0;
    Eigen::MatrixXd thrustMap_;
    std::vector<PairConstraint> universe_;
    double momentLow_ = 0.0;  // found once: a vertex sweep per request is a tenth of its time
    double momentHigh_ = 0.0;
};

}  // namespace optimal
