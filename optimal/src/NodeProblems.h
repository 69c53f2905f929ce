// The two convex problems a sector-search node solves, on the polygons of its sector choice:
//
// - power: least sum (|f| / eta)^(3/2) subject to B f = target. A quadratic model
//   sum w |f|^2 with w = 3/4 eta^(-3/2) (|f|^2 + eps)^(-1/4) at the last solution is solved
//   and re-weighted until the power changes by less than a tolerance. Each model lies above
//   the smoothed power and touches it at the last solution (the power is concave in |f|^2),
//   so every re-weighting lowers it. A node that branches stops sooner (`rough`).
// - force residual: least |B_fwd,swd f - target force|^2 subject to B_rot f = moment, with a
//   tiny quadratic term on f (kResidualRegularisation) so that the Hessian is positive; its
//   effect on the residual is of that order.
#pragma once

#include <Eigen/Dense>
#include <limits>
#include <vector>

#include "PowerDualBound.h"
#include "SectorSearch.h"
#include "VesselModel.h"
#include "optimal/DualActiveSetQp.h"
#include "optimal/OptimalAllocator.h"

namespace optimal {

inline constexpr double kResidualRegularisation = 1e-9;

class NodeProblems {
  public:
    NodeProblems(const VesselModel& model, const OptimalSettings& settings, AllocationStats& stats);

    // Counts the solves of the next problems into `stats` (one object serves every request
    // of a model: its buffers are kept).
    void countInto(AllocationStats& stats) { stats_ = &stats; }

    // Stops early, `bounded`, once the dual bound (from the parent's multipliers, or from
    // any re-weighting's) shows that the node cannot end below `threshold`; `rough`, with its
    // dual bound as its cost, once a node that branches is within a share of that bound. The
    // parent's polygons must contain the node's.
    void power(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
               const NodeOutcome& parent, NodeOutcome& outcome,
               double threshold = std::numeric_limits<double>::infinity());
    void forceResidual(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                       const NodeOutcome& parent, NodeOutcome& outcome);

    // The exact power of scaled variables x.
    double exactPower(const Eigen::VectorXd& x) const;

  private:
    void setInequalities(const std::vector<Sector>& choices);
    void storeMultipliers(NodeOutcome& outcome) const;
    double dualBound(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                     const NodeOutcome& multipliers);
    bool cannotBeat(double bound, double threshold, NodeOutcome& outcome);
    bool solveQp(const std::vector<int>& warm);
    void setWeights(const Eigen::VectorXd& x, double epsilon);
    double smoothedPower(const Eigen::VectorXd& x, double epsilon) const;
    void listCrossedEdges(const std::vector<Sector>& choices, const Eigen::VectorXd& x,
                          std::vector<int>& warm) const;
    bool relaxedRowsSettle(const std::vector<Sector>& choices, const Eigen::VectorXd& x) const;
    double stepFurther(Eigen::VectorXd& x, const Eigen::VectorXd& y, double epsilon);
    void lineDerivatives(const Eigen::VectorXd& x, const Eigen::VectorXd& d, double t,
                         double epsilon, double& slope, double& curvature) const;
    double longestStep(const Eigen::VectorXd& x, const Eigen::VectorXd& d, double limit) const;

    const VesselModel& model_;
    const OptimalSettings& settings_;
    AllocationStats* stats_;
    PowerDualBound bound_;
    NodeOutcome last_;  // the multipliers of the last solve
    DualActiveSetQp qp_;
    QpProblem problem_;
    QpResult result_;
    std::vector<Sector> blockChoices_;  // the choices problem_'s blocks were built for
    bool blocksBuilt_ = false;
    Eigen::VectorXd x_;  // the power problem's point and active set between solves
    std::vector<int> warm_;
    Eigen::VectorXd step_, stretched_;
};

}  // namespace optimal
