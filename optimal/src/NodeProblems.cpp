// Building and solving the node problems.
#include "NodeProblems.h"

#include <algorithm>
#include <cmath>

namespace optimal {

namespace {

// The smoothing of |f| near zero, as a share of the target's size: small enough that it
// changes the power by about 1e-6 of itself, large enough that a row at zero can recover.
constexpr double kSmoothingShare = 1e-4;
// A dual bound prunes a node only this share above the threshold: the node's own answer
// may lie below the exact optimum by what the QP tolerates, and the search must prune
// exactly the nodes it would prune after solving them.
constexpr double kBoundMargin = 1e-7;
// A node that branches is no answer: its cost only bounds its children's (its dual bound
// stands for it) and its point only guides the branching and the warm starts. It stops
// re-weighting once its power is within this share of its dual bound.
constexpr double kBranchingGap = 1e-2;
// A node started from such a parent also waits until its step moves no force by more than
// this (in units of the largest maximum): the power is flat at its optimum, and a falling
// power alone would leave its point nearer that rough start than a warm start's.
constexpr double kPointTolerance = 1e-4;
// The longest re-weighting step taken, in steps to the model's minimum, and the Newton steps
// that look for the least power along it.
constexpr double kStepStretch = 2.0;
constexpr int kLineNewtonSteps = 2;
// A step that leaves a constraint at most this fast (scaled units per step) runs along it: it
// lies on its active constraints up to rounding, which must not stop the stretch. Twice it
// stays far below the QP's feasibility tolerance.
constexpr double kAlongConstraint = 1e-13;

// Powers 3/4 and -1/4 through square roots: std::pow is a tenth of a request's time.
double partPower(double squared, double eta, double epsilon) {
    const double s = (squared + epsilon) / (eta * eta);
    return std::sqrt(s * std::sqrt(s));
}

double partWeight(double squared, double eta, double epsilon) {
    return 0.75 / (eta * std::sqrt(eta) * std::sqrt(std::sqrt(squared + epsilon)));
}

}  // namespace

NodeProblems::NodeProblems(const VesselModel& model, const OptimalSettings& settings,
                           AllocationStats& stats)
    : model_(model),
      settings_(settings),
      stats_(&stats),
      bound_(model),
      qp_(settings.qpIterationCap) {
    problem_.inequalities = model.universe();  // each node holds some of it (its blocks)
}

// The blocks depend on the choices alone: a node with the choices of the last one keeps them.
void NodeProblems::setInequalities(const std::vector<Sector>& choices) {
    if (blocksBuilt_ && choices == blockChoices_) {
        return;
    }
    model_.blocksFor(choices, problem_.blocks);
    blockChoices_ = choices;
    blocksBuilt_ = true;
}

void NodeProblems::storeMultipliers(NodeOutcome& outcome) const {
    outcome.equalityMultipliers = result_.equalityMultipliers;
    outcome.active = result_.active;
    outcome.activeMultipliers = result_.activeMultipliers;
}

// The multipliers' dual bound of the node's exact power; -infinity without multipliers.
double NodeProblems::dualBound(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                               const NodeOutcome& multipliers) {
    if (multipliers.equalityMultipliers.size() != 3) {
        return -std::numeric_limits<double>::infinity();
    }
    return bound_(target, choices, multipliers.equalityMultipliers, multipliers.active,
                  multipliers.activeMultipliers);
}

// Ends the node as `bounded` when its dual bound is not below the threshold.
bool NodeProblems::cannotBeat(double bound, double threshold, NodeOutcome& outcome) {
    if (!std::isfinite(threshold) || bound < threshold + kBoundMargin * std::fabs(threshold)) {
        return false;
    }
    outcome.solved = true;
    outcome.bounded = true;
    outcome.cost = bound;
    return true;
}

bool NodeProblems::solveQp(const std::vector<int>& warm) {
    qp_.solve(problem_, warm, result_);
    ++stats_->qpSolves;
    stats_->qpIterations += result_.iterations;
    if (result_.status == QpStatus::iterationCap) {
        stats_->qpCapReached = true;
    }
    return result_.status == QpStatus::optimal;
}

double NodeProblems::exactPower(const Eigen::VectorXd& x) const {
    return smoothedPower(x, 0.0);
}

double NodeProblems::smoothedPower(const Eigen::VectorXd& x, double epsilon) const {
    double total = 0.0;
    for (int i = 0; i < model_.rowCount(); ++i) {
        const RowModel& r = model_.row(i);
        const double a = x(2 * i);
        const double b = x(2 * i + 1);
        if (r.shape == AttainableSet::Shape::segment) {
            total +=
                partPower(a * a, 1.0, epsilon) + partPower(b * b, r.reverseEfficiency, epsilon);
        } else {
            total += partPower(a * a + b * b, 1.0, epsilon);
        }
    }
    return total;
}

// Hessian 2 w per variable: the quadratic model w |f|^2 has the power's gradient at x.
void NodeProblems::setWeights(const Eigen::VectorXd& x, double epsilon) {
    for (int i = 0; i < model_.rowCount(); ++i) {
        const RowModel& r = model_.row(i);
        const double a = x(2 * i);
        const double b = x(2 * i + 1);
        if (r.shape == AttainableSet::Shape::segment) {
            problem_.hessianDiagonal(2 * i) = 2.0 * partWeight(a * a, 1.0, epsilon);
            problem_.hessianDiagonal(2 * i + 1) =
                2.0 * partWeight(b * b, r.reverseEfficiency, epsilon);
        } else {
            const double w = 2.0 * partWeight(a * a + b * b, 1.0, epsilon);
            problem_.hessianDiagonal(2 * i) = w;
            problem_.hessianDiagonal(2 * i + 1) = w;
        }
    }
}

void NodeProblems::power(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                         const NodeOutcome& parent, NodeOutcome& outcome, double threshold) {
    const int n = model_.variableCount();
    outcome.solved = false;
    outcome.bounded = false;
    outcome.rough = false;
    if (std::isfinite(threshold) &&
        cannotBeat(dualBound(target, choices, parent), threshold, outcome)) {
        return;
    }
    setInequalities(choices);
    problem_.hessianDiagonal.resize(n);
    problem_.linear.setZero(n);
    problem_.equalities = model_.thrustMap();
    problem_.equalityValues = target;
    const double size = std::max(target.cwiseAbs().maxCoeff(), 1e-9);
    const double epsilon = kSmoothingShare * kSmoothingShare * size * size;
    Eigen::VectorXd& x = x_;
    if (parent.x.size() >= n) {
        x = parent.x.head(n);
    } else {
        x.setZero(n);
    }
    std::vector<int>& warm = warm_;
    warm = parent.active;  // the solver ignores the constraints this node does not hold
    listCrossedEdges(choices, x, warm);
    double previous = 0.0;
    double roughCost = 0.0;
    for (int k = 0; k < settings_.reweightCap; ++k) {
        setWeights(x, epsilon);
        if (!solveQp(warm)) {
            return;
        }
        storeMultipliers(last_);
        // The dual bound, needed only against a threshold or for a node that branches.
        const bool bounding = std::isfinite(threshold);
        double bound = bounding ? dualBound(target, choices, last_) : 0.0;
        if (bounding && cannotBeat(bound, threshold, outcome)) {
            return;
        }
        warm = result_.active;
        const double current =
            k > 0 ? stepFurther(x, result_.x, epsilon) : smoothedPower(x = result_.x, epsilon);
        // Settled: the power has stopped falling; or the node branches and its power is
        // within kBranchingGap of its bound.
        const bool settled = k > 0 && previous - current <= settings_.reweightTolerance * current &&
                             (!parent.rough || step_.lpNorm<Eigen::Infinity>() <= kPointTolerance);
        previous = current;
        if (settled) {
            break;
        }
        if (relaxedRowsSettle(choices, x)) {
            continue;  // a leaf: it converges
        }
        if (!bounding) {
            bound = dualBound(target, choices, last_);
        }
        const double exact = exactPower(x);
        if (exact - bound <= kBranchingGap * exact) {
            roughCost = bound;  // the node's cost as a bound of its children's
            outcome.rough = true;
            break;
        }
    }
    outcome.solved = true;
    outcome.cost = outcome.rough ? roughCost : exactPower(x);
    outcome.x = x;
    outcome.active = last_.active;
    outcome.equalityMultipliers = last_.equalityMultipliers;
    outcome.activeMultipliers = last_.activeMultipliers;
}

// A row fixed to a sector that its start lies outside of ends, most likely, on the edge it
// crossed: listing that edge spares the warm check a repair.
void NodeProblems::listCrossedEdges(const std::vector<Sector>& choices, const Eigen::VectorXd& x,
                                    std::vector<int>& warm) const {
    const std::vector<int>& rows = model_.sectorRows();
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (choices[k] == Sector::hull) {
            continue;
        }
        const int edge =
            model_.crossedEdge(rows[k], x(2 * rows[k]), x(2 * rows[k] + 1), choices[k]);
        if (edge >= 0 && std::find(warm.begin(), warm.end(), edge) == warm.end()) {
            warm.push_back(edge);
        }
    }
}

// Whether every relaxed row's force lies in one of its sectors (the node is a leaf).
bool NodeProblems::relaxedRowsSettle(const std::vector<Sector>& choices,
                                     const Eigen::VectorXd& x) const {
    const std::vector<int>& rows = model_.sectorRows();
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int row = rows[k];
        if (choices[k] == Sector::hull &&
            !model_.inSector(row, x(2 * row), x(2 * row + 1), Sector::forward) &&
            !model_.inSector(row, x(2 * row), x(2 * row + 1), Sector::reverse)) {
            return false;
        }
    }
    return true;
}

// The re-weighting's step from x to the model's minimum y shortens a row's error in |f| by
// half only (the model's curvature along f is twice the power's, across f the same): twice
// the step is Newton's step for a row that moves along its force, once for one that turns.
// The step is stretched to where the power along it is least (Newton's method on that line,
// from y), as far as the constraints allow, when that lowers the power. Returns the power at
// the new x.
double NodeProblems::stepFurther(Eigen::VectorXd& x, const Eigen::VectorXd& y, double epsilon) {
    step_ = y - x;
    const double reach = longestStep(x, step_, kStepStretch);
    const double atY = smoothedPower(y, epsilon);
    if (reach > 1.0) {
        double t = 1.0;
        for (int newton = 0; newton < kLineNewtonSteps; ++newton) {
            double slope = 0.0;
            double curvature = 0.0;
            lineDerivatives(x, step_, t, epsilon, slope, curvature);
            if (!(curvature > 0.0)) {
                break;
            }
            t = std::clamp(t - slope / curvature, 1.0, reach);
        }
        stretched_ = x + t * step_;
        const double atStretched = smoothedPower(stretched_, epsilon);
        if (atStretched < atY) {
            x = stretched_;
            return atStretched;
        }
    }
    x = y;
    return atY;
}

// The first and second derivatives of the smoothed power along x + t d at t.
void NodeProblems::lineDerivatives(const Eigen::VectorXd& x, const Eigen::VectorXd& d, double t,
                                   double epsilon, double& slope, double& curvature) const {
    // One part of the power, (|f|^2 + epsilon)^(3/4) / eta^(3/2), with f + t g for f.
    const auto part = [&](double fa, double fb, double ga, double gb, double eta) {
        const double s = fa * fa + fb * fb + epsilon;
        const double c = 1.5 / (eta * std::sqrt(eta));
        const double q = 1.0 / std::sqrt(std::sqrt(s));
        const double fg = fa * ga + fb * gb;
        slope += c * q * fg;
        curvature += c * q * ((ga * ga + gb * gb) - 0.5 * fg * fg / s);
    };
    for (int i = 0; i < model_.rowCount(); ++i) {
        const RowModel& r = model_.row(i);
        const double a = x(2 * i) + t * d(2 * i);
        const double b = x(2 * i + 1) + t * d(2 * i + 1);
        if (r.shape == AttainableSet::Shape::segment) {
            part(a, 0.0, d(2 * i), 0.0, 1.0);
            part(b, 0.0, d(2 * i + 1), 0.0, r.reverseEfficiency);
        } else {
            part(a, b, d(2 * i), d(2 * i + 1), 1.0);
        }
    }
}

// The largest t <= limit with x + t d within the node's inequalities (x within them).
double NodeProblems::longestStep(const Eigen::VectorXd& x, const Eigen::VectorXd& d,
                                 double limit) const {
    const auto scan = [&](int from, int to) {
        for (int j = from; j < to; ++j) {
            const PairConstraint& c = problem_.inequalities[static_cast<std::size_t>(j)];
            double ad = c.a0 * d(c.i0);
            double ax = c.a0 * x(c.i0);
            if (c.i1 >= 0) {
                ad += c.a1 * d(c.i1);
                ax += c.a1 * x(c.i1);
            }
            if (ad > kAlongConstraint) {
                limit = std::min(limit, (c.b - ax) / ad);
            }
        }
    };
    const auto inside = [](double a, double b, double r2) { return a * a + b * b <= r2; };
    for (const InequalityBlock& block : problem_.blocks) {
        // The circle is convex: both ends inside it, the whole step is.
        if (block.i0 < 0 || !inside(x(block.i0), x(block.i1), block.radiusSquared) ||
            !inside(x(block.i0) + limit * d(block.i0), x(block.i1) + limit * d(block.i1),
                    block.radiusSquared)) {
            scan(block.first, block.first + block.count);
        }
    }
    return limit;
}

// Variables: f, then the force residual e (fwd, swd) with B_fwd,swd f - e = target force.
void NodeProblems::forceResidual(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                                 const NodeOutcome& parent, NodeOutcome& outcome) {
    const int n = model_.variableCount();
    setInequalities(choices);
    problem_.hessianDiagonal.setConstant(n + 2, 2.0 * kResidualRegularisation);
    problem_.hessianDiagonal.tail(2).setConstant(2.0);
    problem_.linear.setZero(n + 2);
    problem_.equalities.setZero(3, n + 2);
    problem_.equalities.leftCols(n) = model_.thrustMap();
    problem_.equalities(0, n) = -1.0;
    problem_.equalities(1, n + 1) = -1.0;
    problem_.equalityValues = target;
    const std::vector<int>& warm = parent.active;
    outcome.bounded = false;
    outcome.rough = false;
    outcome.equalityMultipliers.resize(0);
    outcome.activeMultipliers.clear();
    outcome.solved = solveQp(warm);
    if (!outcome.solved) {
        return;
    }
    outcome.cost = result_.x.tail(2).squaredNorm();
    outcome.x = result_.x.head(n);
    outcome.active = result_.active;
}

}  // namespace optimal
