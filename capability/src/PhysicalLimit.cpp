// The physical-limit programme. Variables are the thrusters' stored force components,
// scaled by the largest maximum force; the moment row is scaled by the largest arm too, so
// that every coefficient is of order one. A limited-rotation thruster splits its force into
// one part per sector; a binary variable z gives the force sector, the other part 0 (the
// tangent rows scale with z and 1 - z, the edge rows are homogeneous), so the union of the
// two convex sectors is represented exactly.
#include "capability/PhysicalLimit.h"
#include "scenario/TruePi.h"

#include <glpk.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "allocation/ThrustFrame.h"

namespace kestrom_sim {

namespace {

constexpr double kTurn = 2.0 * kTruePi;
constexpr double kArcStep = kTurn / kPolygonSides;

enum Row { kFwdRow = 1, kSwdRow = 2, kMomentRow = 3 };
constexpr int kT = 1;  // the column of t, the force in the asked direction

// Coefficients are of order one. The cosine of a right angle and the sine of a straight one
// come out as 1e-16 instead of 0, and such an entry, sixteen orders below its neighbours,
// throws GLPK's scaling off: at 90 degrees the limit came out at less than half the true one.
// Entries this small are rounding residues and are left out.
bool negligible(double coefficient) {
    return std::fabs(coefficient) < 1e-12;
}

}  // namespace

const double kPolygonErrorBound = 1.0 / std::cos(kArcStep / 2.0) - 1.0;

std::vector<ThrusterReach> thrusterReaches(const Shipobj& ship) {
    std::vector<ThrusterReach> reaches;
    for (const Thrusterobj& t : ship.thrusters()) {
        reaches.push_back(attainableSet(t));
    }
    return reaches;
}

struct PhysicalLimit::Programme {
    glp_prob* lp = glp_create_prob();
    double forceScale = 1.0;
    double armScale = 1.0;
    double largestT = 0.0;  // the upper bound of column 1, t
    std::vector<int> rowIndex{0};
    std::vector<int> columnIndex{0};
    std::vector<double> values{0.0};

    ~Programme() { glp_delete_prob(lp); }

    void entry(int row, int column, double value) {
        if (!negligible(value)) {
            rowIndex.push_back(row);
            columnIndex.push_back(column);
            values.push_back(value);
        }
    }

    int column(double lower, double upper, int kind = GLP_CV) {
        const int j = glp_add_cols(lp, 1);
        if (std::isinf(lower)) {
            glp_set_col_bnds(lp, j, GLP_FR, 0.0, 0.0);
        } else if (lower == upper) {
            glp_set_col_bnds(lp, j, GLP_FX, lower, upper);
        } else {
            glp_set_col_bnds(lp, j, GLP_DB, lower, upper);
        }
        glp_set_col_kind(lp, j, kind);
        return j;
    }

    // A row bounded above by upper (below by lower when finite).
    int row(double lower, double upper) {
        const int i = glp_add_rows(lp, 1);
        glp_set_row_bnds(lp, i, std::isinf(lower) ? GLP_UP : GLP_LO, lower, upper);
        return i;
    }

    // Adds force component columns to the three thrust rows: `along` is the stored-frame
    // force (forceX, forceY) one unit of the column stands for.
    void addThrust(int col, double forceX, double forceY, const ThrusterReach& r) {
        const forceMom thrust = shipThrust(forceX, forceY, r.posX, r.posY);
        entry(kFwdRow, col, thrust.fwd);
        entry(kSwdRow, col, thrust.swd);
        entry(kMomentRow, col, thrust.rot / armScale);
    }

    // Rows c x + s y <= reach (+ slope * z) for tangents at the angles from `from` over
    // `width`, at most kArcStep apart.
    void tangents(int x, int y, double from, double width, double reach, int z, double slope) {
        const int pieces = std::max(1, static_cast<int>(std::ceil(width / kArcStep - 1e-9)));
        const bool closed = width >= kTurn;
        for (int k = 0; k < pieces + (closed ? 0 : 1); ++k) {
            const double a = from + width * k / pieces;
            const int i = row(-HUGE_VAL, reach);
            entry(i, x, std::cos(a));
            entry(i, y, std::sin(a));
            if (z != 0) {
                entry(i, z, slope);
            }
        }
    }

    void addDisc(const ThrusterReach& r) {
        const int x = column(-HUGE_VAL, HUGE_VAL);
        const int y = column(-HUGE_VAL, HUGE_VAL);
        addThrust(x, 1.0, 0.0, r);
        addThrust(y, 0.0, 1.0, r);
        tangents(x, y, 0.0, kTurn, r.maxForce / forceScale, 0, 0.0);
    }

    void addSegment(const ThrusterReach& r) {
        const double reach = r.maxForce / forceScale;
        const int f = column(-reach, reach);
        addThrust(f, std::cos(r.angle), std::sin(r.angle), r);
    }

    // One sector of a double sector: force (x, y) within halfWidth of centre, its tangent
    // rows opened by z (in force) or by 1 - z (in reverse).
    void addSector(const ThrusterReach& r, double centre, int z, bool inForce) {
        const int x = column(-HUGE_VAL, HUGE_VAL);
        const int y = column(-HUGE_VAL, HUGE_VAL);
        addThrust(x, 1.0, 0.0, r);
        addThrust(y, 0.0, 1.0, r);
        const double reach = r.maxForce / forceScale;
        tangents(x, y, centre - r.halfWidth, 2.0 * r.halfWidth, inForce ? 0.0 : reach, z,
                 inForce ? -reach : reach);
        // Edges: on the inner side of both bounding rays, and ahead of the centre line
        // (which matters only for a zero width).
        const double low = centre - r.halfWidth;
        const double high = centre + r.halfWidth;
        const int lowEdge = row(0.0, HUGE_VAL);
        entry(lowEdge, x, -std::sin(low));
        entry(lowEdge, y, std::cos(low));
        const int highEdge = row(0.0, HUGE_VAL);
        entry(highEdge, x, std::sin(high));
        entry(highEdge, y, -std::cos(high));
        const int ahead = row(0.0, HUGE_VAL);
        entry(ahead, x, std::cos(centre));
        entry(ahead, y, std::sin(centre));
    }

    void addDoubleSector(const ThrusterReach& r) {
        const int z = column(0.0, 1.0, GLP_BV);
        addSector(r, r.angle, z, true);
        addSector(r, r.angle + kTurn / 2.0, z, false);
    }
};

PhysicalLimit::PhysicalLimit(const std::vector<ThrusterReach>& reaches)
    : programme_(std::make_unique<Programme>()) {
    glp_term_out(GLP_OFF);
    Programme& p = *programme_;
    for (const ThrusterReach& r : reaches) {
        p.forceScale = std::max(p.forceScale, r.maxForce);
        p.armScale = std::max(p.armScale, std::hypot(r.posX, r.posY));
    }
    glp_set_obj_dir(p.lp, GLP_MAX);
    glp_add_rows(p.lp, 3);
    glp_set_row_bnds(p.lp, kFwdRow, GLP_FX, 0.0, 0.0);
    glp_set_row_bnds(p.lp, kSwdRow, GLP_FX, 0.0, 0.0);
    glp_set_row_bnds(p.lp, kMomentRow, GLP_FX, 0.0, 0.0);
    // No setting gives more than the sum of the maxima. The bound also keeps the primal
    // simplex from mistaking a ray along a tiny coefficient for an unbounded one.
    double total = 0.0;
    for (const ThrusterReach& r : reaches) {
        total += r.maxForce / p.forceScale;
    }
    p.largestT = total + 1.0;
    const int t = p.column(0.0, p.largestT);
    glp_set_obj_coef(p.lp, t, 1.0);
    for (const ThrusterReach& r : reaches) {
        switch (r.shape) {
            case ThrusterReach::Shape::segment:
                p.addSegment(r);
                break;
            case ThrusterReach::Shape::disc:
                p.addDisc(r);
                break;
            case ThrusterReach::Shape::doubleSector:
                p.addDoubleSector(r);
                break;
        }
    }
    glp_load_matrix(p.lp, static_cast<int>(p.values.size()) - 1, p.rowIndex.data(),
                    p.columnIndex.data(), p.values.data());
}

PhysicalLimit::~PhysicalLimit() = default;

std::optional<double> PhysicalLimit::largest(double direction, double moment) {
    Programme& p = *programme_;
    // The force rows ask: sum of thrust - t (cos, sin) = 0.
    int rows[3] = {0, 0, 0};
    double values[3] = {0.0, 0.0, 0.0};
    int count = 0;
    for (const auto& [row, value] : {std::pair<int, double>{kFwdRow, -std::cos(direction)},
                                     std::pair<int, double>{kSwdRow, -std::sin(direction)}}) {
        if (!negligible(value)) {
            ++count;
            rows[count] = row;
            values[count] = value;
        }
    }
    glp_set_mat_col(p.lp, kT, count, rows, values);
    return solve(moment);
}

bool PhysicalLimit::holds(double moment) {
    // Every thruster at rest holds no moment, whatever the programme's rounding.
    if (moment == 0.0) {
        return true;
    }
    // With t fixed at 0 the direction does not matter: only whether the moment is held.
    Programme& p = *programme_;
    glp_set_col_bnds(p.lp, kT, GLP_FX, 0.0, 0.0);
    const bool held = solve(moment).has_value();
    glp_set_col_bnds(p.lp, kT, GLP_DB, 0.0, p.largestT);
    return held;
}

std::optional<double> PhysicalLimit::solve(double moment) {
    Programme& p = *programme_;
    const double scaledMoment = moment / (p.forceScale * p.armScale);
    glp_set_row_bnds(p.lp, kMomentRow, GLP_FX, scaledMoment, scaledMoment);

    glp_iocp parameters;
    glp_init_iocp(&parameters);
    parameters.presolve = GLP_ON;
    parameters.msg_lev = GLP_MSG_OFF;
    const int result = glp_intopt(p.lp, &parameters);
    if (result == GLP_ENOPFS || (result == 0 && glp_mip_status(p.lp) == GLP_NOFEAS)) {
        return std::nullopt;
    }
    if (result != 0 || glp_mip_status(p.lp) != GLP_OPT) {
        throw std::runtime_error("the physical-limit programme failed (GLPK code " +
                                 std::to_string(result) + ")");
    }
    return glp_mip_col_val(p.lp, kT) * p.forceScale;
}

}  // namespace kestrom_sim
