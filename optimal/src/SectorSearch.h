// Branch and bound over the sector choices of the two-sector rows. A node fixes some rows to
// a sector and relaxes the others to the hull of both sectors; its optimum bounds every
// choice below it from beneath. A node whose relaxed rows all end inside one of their
// sectors has solved its whole subtree. The search dives depth first, the previous request's
// sector (or the nearer one) first, and stops at a fixed node cap.
#pragma once

#include <Eigen/Dense>
#include <functional>
#include <vector>

#include "VesselModel.h"

namespace optimal {

struct NodeOutcome {
    bool solved = false;  // false: infeasible, or its solver stopped at a cap
    // true: cost is a lower bound at or above the threshold, x is no answer (a node the
    // search prunes without finishing it)
    bool bounded = false;
    // true: the node branches and stopped re-weighting short of its optimum; cost is its
    // dual bound
    bool rough = false;
    double cost = 0.0;
    Eigen::VectorXd x;
    std::vector<int> active;  // universe indexes, for warm starts
    // The multipliers of the equalities and of `active` that produced x (power problems
    // only; empty otherwise): they bound the children's costs before they are solved.
    Eigen::VectorXd equalityMultipliers;
    std::vector<double> activeMultipliers;
};

// Solves the problem with the given choices, starting from `parent` (may be empty). A node
// that cannot end below `threshold` may stop early with `bounded` set and a cost at or above
// it.
using NodeEvaluator =
    std::function<void(const std::vector<Sector>& choices, const NodeOutcome& parent,
                       double threshold, NodeOutcome& outcome)>;

struct SearchLimits {
    int nodeCap = 0;
    // The previous choice is kept unless another costs less than its cost / (1 + margin).
    double switchMargin = 0.0;
};

struct SearchResult {
    bool found = false;
    std::vector<Sector> sectors;  // one per sector row, never hull
    NodeOutcome outcome;
    int nodes = 0;
    bool capped = false;
};

// previous: one entry per sector row, hull where the row has no previous sector.
SearchResult searchSectors(const VesselModel& model, const std::vector<Sector>& previous,
                           const NodeOutcome& seed, const NodeEvaluator& evaluate,
                           const SearchLimits& limits);

}  // namespace optimal
