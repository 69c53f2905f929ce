// The small convex QPs of the optimal allocator:
//
//   minimise 1/2 x' diag(h) x + g' x   subject to   E x = e,   a_j' x <= b_j,
//
// with h > 0 and every inequality touching one or two variables (a row's polygon edge or a
// bound).
#pragma once

#include <Eigen/Dense>
#include <vector>

namespace optimal {

// a0 x[i0] + a1 x[i1] <= b; i1 < 0 when the inequality touches one variable.
struct PairConstraint {
    int i0 = 0;
    int i1 = -1;
    double a0 = 0.0;
    double a1 = 0.0;
    double b = 0.0;
};

// Inequalities first .. first + count - 1 of the list. With i0 >= 0 they are the sides of a
// polygon around the circle x[i0]^2 + x[i1]^2 <= radiusSquared: they all hold inside it, and
// the search for a violated inequality skips them then.
struct InequalityBlock {
    int first = 0;
    int count = 0;
    int i0 = -1;
    int i1 = -1;
    double radiusSquared = 0.0;
};

struct QpProblem {
    Eigen::VectorXd hessianDiagonal;  // h, every entry > 0
    Eigen::VectorXd linear;           // g
    Eigen::MatrixXd equalities;       // E, one row per equality
    Eigen::VectorXd equalityValues;   // e
    std::vector<PairConstraint> inequalities;
    // The inequalities this problem holds, ascending and not overlapping; empty: all of them.
    // A list kept for many problems (every polygon of a vessel) is not copied for each.
    std::vector<InequalityBlock> blocks;
};

// Violations up to this much count as met (the problem is expected in scaled units, of
// order one).
inline constexpr double kQpFeasibilityTolerance = 1e-11;
// A new normal counts as linearly dependent on the active ones when its part outside their
// span (in the metric of the Hessian) is below this share of its whole.
inline constexpr double kQpDependenceTolerance = 1e-10;

}  // namespace optimal
