// The dual active-set iteration. Constraints are handled in the form n' x >= c: an equality
// E_i x = e_i is (E_i, e_i), an inequality a' x <= b is (-a, -b). With that form the
// multipliers u satisfy diag(h) x + g = sum_k u_k n_k over the active set, u >= 0 for the
// inequalities.
#include "optimal/DualActiveSetQp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace optimal {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Changes of a warm list tried with the cheap check before the factors are built.
constexpr int kWarmRepairs = 3;
// How far the warm check's point may miss the rows it holds as equalities (scaled units).
constexpr double kWarmResidual = 1e-9;

// One Givens rotation that turns (a, b) into (h, 0), h >= 0, as the pair (c, s); applied to a
// pair (p, q) it gives (p c + q s, xny (p + p') - q) with xny = s / (1 + c), the form that keeps
// the rotation's symmetry with the fewest operations.
struct Givens {
    double c = 1.0;
    double s = 0.0;
    double h = 0.0;
    bool identity = true;
};

Givens rotationFor(double a, double b) {
    Givens g;
    // a and b are entries of the factors, far from overflow: no need for hypot's scaling.
    g.h = std::sqrt(a * a + b * b);
    if (g.h == 0.0) {
        return g;
    }
    g.identity = false;
    g.c = a / g.h;
    g.s = b / g.h;
    if (g.c < 0.0) {
        g.c = -g.c;
        g.s = -g.s;
        g.h = -g.h;
    }
    return g;
}

void rotate(const Givens& g, double& p, double& q) {
    const double xny = g.s / (1.0 + g.c);
    const double first = p * g.c + q * g.s;
    q = xny * (p + first) - q;
    p = first;
}

// The same rotation on two whole columns (the same operations per entry, in a loop the
// compiler can vectorise).
void rotateColumns(const Givens& g, double* __restrict p, double* __restrict q, int n) {
    const double xny = g.s / (1.0 + g.c);
    for (int k = 0; k < n; ++k) {
        const double first = p[k] * g.c + q[k] * g.s;
        q[k] = xny * (p[k] + first) - q[k];
        p[k] = first;
    }
}

void checkShapes(const QpProblem& problem) {
    const Eigen::Index n = problem.hessianDiagonal.size();
    const bool shapesAgree = n > 0 && problem.linear.size() == n &&
                             (problem.equalities.rows() == 0 || problem.equalities.cols() == n) &&
                             problem.equalityValues.size() == problem.equalities.rows();
    if (!shapesAgree || !(problem.hessianDiagonal.array() > 0.0).all()) {
        throw std::invalid_argument("QP: sizes disagree or the Hessian is not positive");
    }
    int end = 0;
    for (const InequalityBlock& block : problem.blocks) {
        const bool circleNamed = block.i0 < 0 || (block.i0 < n && block.i1 >= 0 && block.i1 < n);
        if (block.first < end || block.count < 0 || !circleNamed) {
            throw std::invalid_argument("QP: the inequality blocks overlap or name no variable");
        }
        end = block.first + block.count;
    }
    if (end > static_cast<int>(problem.inequalities.size())) {
        throw std::invalid_argument("QP: an inequality block ends beyond the list");
    }
}

// Whether the problem holds inequality j (within the list).
bool holds(const QpProblem& problem, int j) {
    if (problem.blocks.empty()) {
        return true;
    }
    const auto after = std::upper_bound(problem.blocks.begin(), problem.blocks.end(), j,
                                        [](int id, const auto& block) { return id < block.first; });
    return after != problem.blocks.begin() && j < std::prev(after)->first + std::prev(after)->count;
}

// An inequality's variables are checked where they are first read (the search for the most
// violated constraint, the warm list): a solve reads a fraction of a long list, and checking
// every entry up front cost a sixth of the solve.
void checkVariables(const PairConstraint& c, int n) {
    if (c.i0 < 0 || c.i0 >= n || c.i1 >= n) {
        throw std::invalid_argument("QP: an inequality names a variable out of range");
    }
}

}  // namespace

DualActiveSetQp::DualActiveSetQp(int iterationCap) : iterationCap_(iterationCap) {}

void DualActiveSetQp::ActiveMarks::clear(std::size_t size) {
    if (stamps_.size() != size || stamp_ == std::numeric_limits<unsigned>::max()) {
        stamps_.assign(size, 0);
        stamp_ = 0;
    }
    ++stamp_;
}

void DualActiveSetQp::normal(const QpProblem& problem, int id) {
    if (id < meq_) {
        np_ = problem.equalities.row(id).transpose();
        pair_[0] = -1;
        return;
    }
    const PairConstraint& c = problem.inequalities[static_cast<std::size_t>(id - meq_)];
    np_.setZero();
    np_(c.i0) = -c.a0;
    if (c.i1 >= 0) {
        np_(c.i1) -= c.a1;
    }
    pair_[0] = c.i0;
    pair_[1] = c.i1;
}

double DualActiveSetQp::slack(const QpProblem& problem, int id) const {
    if (id < meq_) {
        return problem.equalities.row(id).dot(x_) - problem.equalityValues(id);
    }
    const PairConstraint& c = problem.inequalities[static_cast<std::size_t>(id - meq_)];
    double ax = c.a0 * x_(c.i0);
    if (c.i1 >= 0) {
        ax += c.a1 * x_(c.i1);
    }
    return c.b - ax;
}

// d = J' n, z = J2 d2 (the primal step), r = R^-1 d1 (the change of the multipliers).
// An inequality's normal has one or two entries: J' n from those rows of J (the same sums).
void DualActiveSetQp::stepDirections() {
    if (pair_[0] < 0) {
        d_.noalias() = J_.transpose() * np_;
    } else {
        d_.noalias() = J_.row(pair_[0]).transpose() * np_(pair_[0]);
        if (pair_[1] >= 0) {
            d_.noalias() += J_.row(pair_[1]).transpose() * np_(pair_[1]);
        }
    }
    z_.noalias() = J_.rightCols(n_ - iq_) * d_.tail(n_ - iq_);
    r_ = R_.topLeftCorner(iq_, iq_).triangularView<Eigen::Upper>().solve(d_.head(iq_));
}

bool DualActiveSetQp::isDependent() const {
    return d_.tail(n_ - iq_).norm() <= kQpDependenceTolerance * d_.norm();
}

// Appends the constraint whose d was computed last: rotations zero d below position iq, so
// that R gains the column d(0..iq).
void DualActiveSetQp::addToFactors() {
    for (int j = n_ - 1; j >= iq_ + 1; --j) {
        const Givens g = rotationFor(d_(j - 1), d_(j));
        if (g.identity) {
            continue;
        }
        d_(j - 1) = g.h;
        d_(j) = 0.0;
        rotateColumns(g, &J_(0, j - 1), &J_(0, j), n_);
    }
    ++iq_;
    R_.col(iq_ - 1).head(iq_) = d_.head(iq_);
}

// Removes the active constraint at `position`; the entries above it (and the pending one at
// iq) move down, and rotations restore R's triangle.
void DualActiveSetQp::dropFromFactors(int position) {
    active_.unmark(A_[static_cast<std::size_t>(position)] - meq_);
    for (int i = position; i < iq_; ++i) {
        A_[static_cast<std::size_t>(i)] = A_[static_cast<std::size_t>(i) + 1];
        u_(i) = u_(i + 1);
        if (i < iq_ - 1) {
            R_.col(i) = R_.col(i + 1);
        }
    }
    R_.col(iq_ - 1).setZero();
    u_(iq_) = 0.0;
    --iq_;
    for (int j = position; j < iq_; ++j) {
        const Givens g = rotationFor(R_(j, j), R_(j + 1, j));
        if (g.identity) {
            continue;
        }
        R_(j, j) = g.h;
        R_(j + 1, j) = 0.0;
        for (int k = j + 1; k < iq_; ++k) {
            rotate(g, R_(j, k), R_(j + 1, k));
        }
        rotateColumns(g, &J_(0, j), &J_(0, j + 1), n_);
    }
}

bool DualActiveSetQp::addEqualities(const QpProblem& problem, QpResult& result) {
    (void)result;
    for (int i = 0; i < meq_; ++i) {
        normal(problem, i);
        stepDirections();
        const double s = slack(problem, i);
        if (isDependent()) {
            // Implied by the others, or contradicting them.
            if (std::fabs(s) <= kQpFeasibilityTolerance) {
                continue;
            }
            return false;
        }
        const double t = -s / d_.tail(n_ - iq_).squaredNorm();
        x_ += t * z_;
        u_.head(iq_) -= t * r_;
        u_(iq_) = t;
        A_[static_cast<std::size_t>(iq_)] = i;
        addToFactors();
    }
    return true;
}

// The minimum with the equalities and the warm inequalities held as equalities.
bool DualActiveSetQp::start(const QpProblem& problem, const std::vector<int>& warm,
                            QpResult& result) {
    J_ = problem.hessianDiagonal.cwiseSqrt().cwiseInverse().asDiagonal();
    R_.setZero(n_, n_);
    u_.setZero(n_ + 1);
    A_.assign(static_cast<std::size_t>(n_) + 1, -1);
    active_.clear(problem.inequalities.size());
    iq_ = 0;
    x_ = -problem.linear.cwiseQuotient(problem.hessianDiagonal);
    if (!addEqualities(problem, result)) {
        return false;
    }
    activeEqualities_ = iq_;
    for (const int j : warm) {
        if (iq_ == n_) {
            break;
        }
        const int id = meq_ + j;
        normal(problem, id);
        stepDirections();
        if (isDependent()) {
            continue;
        }
        const double t = -slack(problem, id) / d_.tail(n_ - iq_).squaredNorm();
        x_ += t * z_;
        u_.head(iq_) -= t * r_;
        u_(iq_) = t;
        A_[static_cast<std::size_t>(iq_)] = id;
        active_.mark(j);
        addToFactors();
    }
    return true;
}

int DualActiveSetQp::mostViolated(const QpProblem& problem, double& violation) const {
    int worst = -1;
    violation = kQpFeasibilityTolerance;
    const double* x = x_.data();
    const int m = static_cast<int>(problem.inequalities.size());
    const auto scan = [&](int from, int to) {
        for (int j = from; j < to; ++j) {
            const PairConstraint& c = problem.inequalities[static_cast<std::size_t>(j)];
            checkVariables(c, n_);
            double v = c.a0 * x[c.i0] - c.b;
            if (c.i1 >= 0) {
                v += c.a1 * x[c.i1];
            }
            if (v > violation && !active_.marked(j)) {
                violation = v;
                worst = j;
            }
        }
    };
    if (problem.blocks.empty()) {
        scan(0, m);
        return worst;
    }
    for (const InequalityBlock& block : problem.blocks) {
        if (block.i0 >= 0) {
            const double a = x[block.i0];
            const double b = x[block.i1];
            if (a * a + b * b <= block.radiusSquared) {
                continue;
            }
        }
        scan(block.first, block.first + block.count);
    }
    return worst;
}

void DualActiveSetQp::finish(const QpProblem& problem, QpStatus status, QpResult& result) {
    result.status = status;
    result.x = x_;
    result.objective =
        0.5 * x_.dot(problem.hessianDiagonal.cwiseProduct(x_)) + problem.linear.dot(x_);
    result.active.clear();
    result.equalityMultipliers.setZero(meq_);
    result.activeMultipliers.clear();
    for (int k = 0; k < iq_; ++k) {
        const int id = A_[static_cast<std::size_t>(k)];
        if (id < meq_) {
            result.equalityMultipliers(id) = -u_(k);
        } else {
            result.active.push_back(id - meq_);
            result.activeMultipliers.push_back(u_(k));
        }
    }
}

// The optimality conditions with the warm list as the active set (WarmActiveSystem). A
// singular system (dependent rows) leaves the case to the iteration.
bool DualActiveSetQp::warmSetIsOptimal(const QpProblem& problem, const std::vector<int>& warm,
                                       QpResult& result) {
    dropPosition_ = -1;
    addInequality_ = -1;
    if (meq_ + static_cast<int>(warm.size()) > n_ || !warmSystem_.solve(problem, warm)) {
        return false;
    }
    warmSystem_.point(problem, warm, x_);
    // The rows held as equalities must hold: a poorly conditioned system can miss them.
    for (int i = 0; i < meq_; ++i) {
        if (std::fabs(slack(problem, i)) > kWarmResidual) {
            return false;
        }
    }
    for (const int j : warm) {
        if (std::fabs(slack(problem, meq_ + j)) > kWarmResidual) {
            return false;
        }
    }
    const std::vector<double>& lambda = warmSystem_.multipliers();
    double wrongest = kQpFeasibilityTolerance;
    for (std::size_t i = 0; i < warm.size(); ++i) {
        const double mu = lambda[static_cast<std::size_t>(meq_) + i];
        if (mu > wrongest) {  // an inequality's multiplier of the wrong sign
            wrongest = mu;
            dropPosition_ = static_cast<int>(i);
        }
    }
    if (dropPosition_ >= 0) {
        return false;
    }
    active_.clear(problem.inequalities.size());
    for (const int j : warm) {
        active_.mark(j);
    }
    double violation = 0.0;
    addInequality_ = mostViolated(problem, violation);
    if (addInequality_ >= 0) {
        return false;
    }
    result.status = QpStatus::optimal;
    result.x = x_;
    result.objective =
        0.5 * x_.dot(problem.hessianDiagonal.cwiseProduct(x_)) + problem.linear.dot(x_);
    result.active = warm;
    result.equalityMultipliers.resize(meq_);
    for (int i = 0; i < meq_; ++i) {
        result.equalityMultipliers(i) = -lambda[static_cast<std::size_t>(i)];
    }
    result.activeMultipliers.resize(warm.size());
    for (std::size_t i = 0; i < warm.size(); ++i) {
        result.activeMultipliers[i] = -lambda[static_cast<std::size_t>(meq_) + i];
    }
    return true;
}

// The warm check, and while it fails for one reason a few more: with the wrong multiplier's
// constraint dropped, or the most violated one added. Each change counts as an iteration.
bool DualActiveSetQp::repairWarmSet(const QpProblem& problem, std::vector<int>& warm,
                                    QpResult& result) {
    warmSystem_.prepare(problem);
    for (int repair = 0;; ++repair) {
        if (warmSetIsOptimal(problem, warm, result)) {
            return true;
        }
        if (repair == kWarmRepairs || result.iterations >= iterationCap_) {
            return false;
        }
        if (dropPosition_ >= 0) {
            warm.erase(warm.begin() + dropPosition_);
        } else if (addInequality_ >= 0) {
            warm.push_back(addInequality_);
        } else {
            return false;
        }
        ++result.iterations;
    }
}

void DualActiveSetQp::solve(const QpProblem& problem, const std::vector<int>& warmActive,
                            QpResult& result) {
    checkShapes(problem);
    n_ = static_cast<int>(problem.hessianDiagonal.size());
    meq_ = static_cast<int>(problem.equalities.rows());
    np_.resize(n_);
    result.iterations = 0;
    const int m = static_cast<int>(problem.inequalities.size());
    std::vector<int>& warm = warm_;
    warm.clear();
    for (const int j : warmActive) {
        if (j >= 0 && j < m && holds(problem, j) &&
            std::find(warm.begin(), warm.end(), j) == warm.end()) {
            checkVariables(problem.inequalities[static_cast<std::size_t>(j)], n_);
            warm.push_back(j);
        }
    }
    if (repairWarmSet(problem, warm, result)) {
        return;
    }
    // Drop warm constraints with negative multipliers, the most negative first, until the
    // start is dual feasible.
    for (;;) {
        if (!start(problem, warm, result)) {
            finish(problem, QpStatus::infeasible, result);
            return;
        }
        int worst = -1;
        for (int k = 0; k < iq_; ++k) {
            const int id = A_[static_cast<std::size_t>(k)];
            if (id >= meq_ && u_(k) < 0.0 && (worst < 0 || u_(k) < u_(worst))) {
                worst = k;
            }
        }
        if (worst < 0) {
            break;
        }
        warm.erase(std::find(warm.begin(), warm.end(), A_[static_cast<std::size_t>(worst)] - meq_));
    }

    for (;;) {
        if (result.iterations >= iterationCap_) {
            finish(problem, QpStatus::iterationCap, result);
            return;
        }
        double violation = 0.0;
        const int p = mostViolated(problem, violation);
        if (p < 0) {
            finish(problem, QpStatus::optimal, result);
            return;
        }
        const int id = meq_ + p;
        A_[static_cast<std::size_t>(iq_)] = id;
        u_(iq_) = 0.0;
        double sp = -violation;
        for (;;) {
            normal(problem, id);
            stepDirections();
            double t1 = kInfinity;  // the largest step keeping the active multipliers >= 0
            int l = -1;
            for (int k = activeEqualities_; k < iq_; ++k) {
                if (r_(k) > 0.0 && u_(k) / r_(k) < t1) {
                    t1 = u_(k) / r_(k);
                    l = k;
                }
            }
            const bool dependent = isDependent();
            const double t2 = dependent ? kInfinity : -sp / d_.tail(n_ - iq_).squaredNorm();
            const double t = std::min(t1, t2);
            if (t == kInfinity) {
                finish(problem, QpStatus::infeasible, result);
                return;
            }
            ++result.iterations;
            u_.head(iq_) -= t * r_;
            u_(iq_) += t;
            if (!dependent) {
                x_ += t * z_;
            }
            if (!dependent && t2 <= t1) {
                active_.mark(p);
                addToFactors();
                break;
            }
            dropFromFactors(l);
            sp = slack(problem, id);
            if (result.iterations >= iterationCap_) {
                finish(problem, QpStatus::iterationCap, result);
                return;
            }
        }
    }
}

}  // namespace optimal
