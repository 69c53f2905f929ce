// A lower bound on the exact power of a node from any multipliers of its constraints
// (Lagrangian duality): for y and mu >= 0,
//
//   -y' target - sum mu_j b_j + sum over rows of min over K_i of p_i(f) - c_i' f,
//   c_i = -(B_i' y + sum over the row's constraints of mu_j a_j),
//
// is at most the least power over the node's polygons, for any superset K_i of row i's
// polygon. Each row's minimum has a closed form over K_i: a disc (a row on a disc, or a
// relaxed two-sector row), a sector of a disc (a row fixed to a sector), a box (the parts of
// a fixed-direction row). Each row takes the larger of two bounds: its constraints' multipliers
// dualised, or left out. With the multipliers of a quadratic model that has converged, the
// bound is the power itself; with those of its first solve, or of the parent node, it is
// often enough to show that a node cannot beat the incumbent.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "VesselModel.h"

namespace optimal {

class PowerDualBound {
  public:
    explicit PowerDualBound(const VesselModel& model);

    // y: the multipliers of B x = target; ids: universe indexes of constraints valid for the
    // node's polygons, mu: theirs (negative values count as 0). Sign rule of the QP solver:
    // diag(h) x + g + B' y + sum mu_j a_j = 0.
    double operator()(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                      const Eigen::VectorXd& y, const std::vector<int>& ids,
                      const std::vector<double>& mu);

  private:
    double rowBound(const RowModel& r, Sector choice, const double* free, const double* pulled,
                    double offset) const;

    const VesselModel& model_;
    std::vector<double> free_;    // per variable: -B' y
    std::vector<double> pulled_;  // per variable: -(B' y + sum mu_j a_j)
    std::vector<double> offset_;  // per row: sum mu_j b_j
};

}  // namespace optimal
