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
#include <csetjmp>
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

// Coefficients are of order one after scaling. Far below that they are rounding residues,
// which throw GLPK's scaling off: the cosine of a right angle and the sine of a straight one
// come out as 1e-16 instead of 0 (at 90 degrees the limit came out at less than half the
// true one), and an arm of 1e-20 m beside one of 1 m made the basis singular. Entries this
// small are left out, and so are thrusters whose maximum is this small beside the largest.
constexpr double kNegligible = 1e-12;

bool negligible(double coefficient) {
    return std::fabs(coefficient) < kNegligible;
}
// Deterministic bounds on GLPK's work, far above what a vessel of 128 rows needs: simplex
// iterations per solve and branch-and-bound subproblems per direction.
constexpr int kSimplexIterationLimit = 100000;
constexpr int kSubproblemLimit = 20000;

void checkReach(const ThrusterReach& r) {
    if (!(std::isfinite(r.maxForce) && r.maxForce >= 0.0 && std::isfinite(r.posX) &&
          std::isfinite(r.posY) && std::isfinite(r.angle) && std::isfinite(r.halfWidth))) {
        throw std::invalid_argument("a thruster reach with a value that is not finite");
    }
}

// GLPK prints on standard output unless told otherwise, for every thread it runs on; even
// with its output off, its error messages go through this hook.
int silent(void*, const char*) {
    return 1;
}

// GLPK ends the process after an internal error unless its error hook leaves the call:
// the hook jumps back to solveGuarded, which frees GLPK's environment as it must then.
thread_local std::jmp_buf* glpkFailure = nullptr;

void onGlpkError(void*) {
    if (glpkFailure != nullptr) {
        std::longjmp(*glpkFailure, 1);
    }
}

void countSubproblems(glp_tree* tree, void* info) {
    if (glp_ios_reason(tree) == GLP_ISELECT && ++*static_cast<int*>(info) > kSubproblemLimit) {
        glp_ios_terminate(tree);
    }
}

struct Solution {
    enum class Status { optimal, infeasible, unfinished, failed };
    Status status = Status::failed;
    double t = 0.0;  // the first column's value when optimal
    std::string failure;
};

// The simplex on the relaxation (scaled, no presolver: GLPK's presolver asserts on some
// nearly infeasible moments), then branch and bound on the binaries when there are any.
// Only C frames lie between the setjmp here and GLPK's longjmp.
Solution solveGuarded(glp_prob* lp) {
    Solution solution;
    std::jmp_buf jump;
    glp_term_out(GLP_OFF);
    glp_term_hook(silent, nullptr);
    glp_error_hook(onGlpkError, nullptr);
    glpkFailure = &jump;
    if (setjmp(jump) != 0) {
        glpkFailure = nullptr;
        glp_free_env();
        solution.status = Solution::Status::failed;
        solution.failure = "GLPK stopped on an internal error";
        return solution;
    }
    glp_scale_prob(lp, GLP_SF_AUTO);
    // The last direction's basis may be singular with this direction's column: start afresh.
    glp_std_basis(lp);
    glp_smcp simplex;
    glp_init_smcp(&simplex);
    simplex.msg_lev = GLP_MSG_OFF;
    simplex.it_lim = kSimplexIterationLimit;
    int result = glp_simplex(lp, &simplex);
    const bool integer = glp_get_num_int(lp) > 0;
    int status = glp_get_status(lp);
    int subproblems = 0;
    if (result == 0 && status == GLP_OPT && integer) {
        glp_iocp branching;
        glp_init_iocp(&branching);
        branching.msg_lev = GLP_MSG_OFF;
        branching.cb_func = countSubproblems;
        branching.cb_info = &subproblems;
        result = glp_intopt(lp, &branching);
        status = glp_mip_status(lp);
    }
    glpkFailure = nullptr;
    glp_error_hook(nullptr, nullptr);
    if (result == 0 && status == GLP_NOFEAS) {
        solution.status = Solution::Status::infeasible;
    } else if (result == 0 && status == GLP_OPT) {
        solution.status = Solution::Status::optimal;
        solution.t = integer ? glp_mip_col_val(lp, 1) : glp_get_col_prim(lp, 1);
    } else {
        solution.status = Solution::Status::unfinished;
        solution.failure = result == GLP_EITLIM || result == GLP_ESTOP
                               ? "GLPK did not finish within its iteration limits"
                               : "GLPK gave up (code " + std::to_string(result) + ")";
    }
    return solution;
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
    double forceScale = 0.0;   // the largest maximum force (1 when every one is 0)
    double armScale = 0.0;     // the largest arm (1 when every one is 0)
    double momentReach = 0.0;  // the largest scaled moment the thrusters can give
    double largestT = 0.0;     // the upper bound of column 1, t
    bool hasBinaries = false;
    std::vector<int> rowIndex{0};
    std::vector<int> columnIndex{0};
    std::vector<double> values{0.0};

    ~Programme() {
        if (lp != nullptr) {
            glp_delete_prob(lp);
        }
    }

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
        hasBinaries = true;
        const int z = column(0.0, 1.0, GLP_BV);
        addSector(r, r.angle, z, true);
        addSector(r, r.angle + kTurn / 2.0, z, false);
    }
};

PhysicalLimit::PhysicalLimit(const std::vector<ThrusterReach>& given)
    : programme_(std::make_unique<Programme>()) {
    Programme& p = *programme_;
    for (const ThrusterReach& r : given) {
        checkReach(r);
        p.forceScale = std::max(p.forceScale, r.maxForce);
    }
    // Scaled by the largest values themselves, however small: a floor would leave tiny
    // forces below GLPK's tolerances. A thruster whose maximum is negligible beside the
    // largest is left out: its arm would set the moments' scale for nothing.
    p.forceScale = p.forceScale > 0.0 ? p.forceScale : 1.0;
    std::vector<ThrusterReach> reaches;
    for (const ThrusterReach& r : given) {
        if (r.maxForce > kNegligible * p.forceScale) {
            reaches.push_back(r);
            p.armScale = std::max(p.armScale, std::hypot(r.posX, r.posY));
        }
    }
    p.armScale = p.armScale > 0.0 ? p.armScale : 1.0;
    if (!std::isfinite(p.armScale)) {
        throw std::invalid_argument("thruster arms beyond the range of a double");
    }
    for (const ThrusterReach& r : reaches) {
        p.momentReach += (r.maxForce / p.forceScale) * (std::hypot(r.posX, r.posY) / p.armScale);
    }
    // Rounding in the sum must not turn a moment at the very edge away.
    p.momentReach *= 1.0 + 1e-9;
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
    if (!programme_) {
        throw PhysicalLimitFailure("GLPK failed on an earlier direction");
    }
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
    if (!programme_) {
        throw PhysicalLimitFailure("GLPK failed on an earlier question");
    }
    // With t fixed at 0 the direction does not matter: only whether the moment is held.
    glp_set_col_bnds(programme_->lp, kT, GLP_FX, 0.0, 0.0);
    const auto freeT = [this] {
        if (programme_) {  // gone after an internal error of GLPK
            glp_set_col_bnds(programme_->lp, kT, GLP_DB, 0.0, programme_->largestT);
        }
    };
    std::optional<double> held;
    try {
        held = solve(moment);
    } catch (const PhysicalLimitFailure&) {
        freeT();
        throw;
    }
    freeT();
    return held.has_value();
}

std::optional<double> PhysicalLimit::solve(double moment) {
    Programme& p = *programme_;
    // Beyond the sum of every thruster's largest moment no setting holds it: known without
    // asking GLPK about a row of a size the rest of the programme cannot balance.
    const double scaledMoment = moment / p.forceScale / p.armScale;
    if (!(std::fabs(scaledMoment) <= p.momentReach)) {
        return std::nullopt;
    }
    glp_set_row_bnds(p.lp, kMomentRow, GLP_FX, scaledMoment, scaledMoment);
    const Solution solution = solveGuarded(p.lp);
    if (solution.status == Solution::Status::failed) {
        // GLPK's environment is gone, and the problem object with it.
        p.lp = nullptr;
        programme_.reset();
        throw PhysicalLimitFailure(solution.failure);
    }
    if (solution.status == Solution::Status::infeasible) {
        return std::nullopt;
    }
    if (solution.status == Solution::Status::unfinished) {
        throw PhysicalLimitFailure(solution.failure);
    }
    // The column is bounded below by 0; GLPK may return a rounding error below that.
    return std::max(0.0, solution.t) * p.forceScale;
}

}  // namespace kestrom_sim
