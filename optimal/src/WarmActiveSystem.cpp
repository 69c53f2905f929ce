// The block elimination and the factors of the warm system.
#include "optimal/WarmActiveSystem.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace optimal {

namespace {

std::size_t at(int row, int column, int columns) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
           static_cast<std::size_t>(column);
}

const PairConstraint& warmRow(const QpProblem& problem, const std::vector<int>& warm, int r) {
    return problem.inequalities[static_cast<std::size_t>(warm[static_cast<std::size_t>(r)])];
}

// A row's second variable and its coefficient, the first variable with 0 when it names one.
int secondVariable(const PairConstraint& c) {
    return c.i1 >= 0 ? c.i1 : c.i0;
}
double secondCoefficient(const PairConstraint& c) {
    return c.i1 >= 0 ? c.a1 : 0.0;
}

}  // namespace

void WarmActiveSystem::prepare(const QpProblem& problem) {
    const Eigen::MatrixXd& E = problem.equalities;
    n_ = static_cast<int>(problem.hessianDiagonal.size());
    meq_ = static_cast<int>(E.rows());
    hInverse_.resize(static_cast<std::size_t>(n_));
    WH_.resize(at(meq_, 0, n_));
    EHE_.resize(at(meq_, 0, meq_));
    equalityRhs_.resize(static_cast<std::size_t>(meq_));
    for (int v = 0; v < n_; ++v) {
        hInverse_[static_cast<std::size_t>(v)] = 1.0 / problem.hessianDiagonal(v);
    }
    for (int i = 0; i < meq_; ++i) {
        double rhs = problem.equalityValues(i);
        for (int v = 0; v < n_; ++v) {
            const double wh = E(i, v) * hInverse_[static_cast<std::size_t>(v)];
            WH_[at(i, v, n_)] = wh;
            rhs += wh * problem.linear(v);
        }
        equalityRhs_[static_cast<std::size_t>(i)] = rhs;
        for (int j = 0; j <= i; ++j) {
            double sum = 0.0;
            for (int v = 0; v < n_; ++v) {
                sum += WH_[at(i, v, n_)] * E(j, v);
            }
            EHE_[at(i, j, meq_)] = sum;
            EHE_[at(j, i, meq_)] = sum;
        }
    }
}

// Pairs the warm rows that share a variable: a row with more than one partner, or a pair
// naming more than two variables, makes the system singular or is left to the iteration.
bool WarmActiveSystem::pairRows(const QpProblem& problem, const std::vector<int>& warm) {
    firstNaming_.assign(static_cast<std::size_t>(n_), -1);
    partner_.assign(static_cast<std::size_t>(q_), -1);
    for (int i = 0; i < q_; ++i) {
        const PairConstraint& c = warmRow(problem, warm, i);
        const int j1 = secondVariable(c);
        int other = firstNaming_[static_cast<std::size_t>(c.i0)];
        const int other1 = firstNaming_[static_cast<std::size_t>(j1)];
        if (other >= 0 && other1 >= 0 && other != other1) {
            return false;
        }
        other = std::max(other, other1);
        if (other >= 0) {
            const PairConstraint& d = warmRow(problem, warm, other);
            const int k1 = secondVariable(d);
            // The pair's variables: d's, and c's that d does not name.
            const int variables = (k1 == d.i0 ? 1 : 2) + (c.i0 != d.i0 && c.i0 != k1 ? 1 : 0) +
                                  (j1 != c.i0 && j1 != d.i0 && j1 != k1 ? 1 : 0);
            if (partner_[static_cast<std::size_t>(other)] != -1 || variables > 2) {
                return false;
            }
            partner_[static_cast<std::size_t>(other)] = i;
            partner_[static_cast<std::size_t>(i)] = -2;  // follows its pair's first row
        }
        firstNaming_[static_cast<std::size_t>(c.i0)] = other >= 0 ? other : i;
        firstNaming_[static_cast<std::size_t>(j1)] = other >= 0 ? other : i;
    }
    return true;
}

// An entry of D = W H^-1 W'.
double WarmActiveSystem::blockEntry(const PairConstraint& c, const PairConstraint& d) const {
    const auto term = [&](int u, double a, int v, double b) {
        return u == v ? a * b * hInverse_[static_cast<std::size_t>(u)] : 0.0;
    };
    const int j1 = secondVariable(c);
    const double a1 = secondCoefficient(c);
    const int k1 = secondVariable(d);
    const double b1 = secondCoefficient(d);
    return term(c.i0, c.a0, d.i0, d.a0) + term(c.i0, c.a0, k1, b1) + term(j1, a1, d.i0, d.a0) +
           term(j1, a1, k1, b1);
}

// B, the warm rows' right-hand sides, and both with D^-1 applied: per pair of rows D's LDL'
// (pivots p1, p2, multiplier l), forward, diagonal, backward. Sets the pivots; false for a row
// without a normal.
bool WarmActiveSystem::eliminateBlocks(const QpProblem& problem, const std::vector<int>& warm) {
    B_.resize(at(q_, 0, meq_));
    warmRhs_.resize(static_cast<std::size_t>(q_));
    pivots_.resize(static_cast<std::size_t>(q_));
    for (int r = 0; r < q_; ++r) {
        const PairConstraint& c = warmRow(problem, warm, r);
        const int j1 = secondVariable(c);
        const double a1 = secondCoefficient(c);
        for (int i = 0; i < meq_; ++i) {
            B_[at(r, i, meq_)] = c.a0 * WH_[at(i, c.i0, n_)] + a1 * WH_[at(i, j1, n_)];
        }
        warmRhs_[static_cast<std::size_t>(r)] =
            c.b + c.a0 * hInverse_[static_cast<std::size_t>(c.i0)] * problem.linear(c.i0) +
            a1 * hInverse_[static_cast<std::size_t>(j1)] * problem.linear(j1);
    }
    DinvB_ = B_;
    DinvRhs_ = warmRhs_;
    // Row r of D^-1 B and D^-1 rhs, as one row of meq + 1 entries.
    const auto scale = [&](int r, double divisor) {
        for (int i = 0; i < meq_; ++i) {
            DinvB_[at(r, i, meq_)] /= divisor;
        }
        DinvRhs_[static_cast<std::size_t>(r)] /= divisor;
    };
    const auto subtract = [&](int r, double l, int from) {
        for (int i = 0; i < meq_; ++i) {
            DinvB_[at(r, i, meq_)] -= l * DinvB_[at(from, i, meq_)];
        }
        DinvRhs_[static_cast<std::size_t>(r)] -= l * DinvRhs_[static_cast<std::size_t>(from)];
    };
    for (int i = 0; i < q_; ++i) {
        const int p = partner_[static_cast<std::size_t>(i)];
        if (p == -2) {
            continue;
        }
        const PairConstraint& c = warmRow(problem, warm, i);
        const double p1 = blockEntry(c, c);
        if (!(p1 > 0.0)) {
            return false;
        }
        pivots_[static_cast<std::size_t>(i)] = p1;
        if (p < 0) {
            scale(i, p1);
            continue;
        }
        const PairConstraint& d = warmRow(problem, warm, p);
        const double coupling = blockEntry(d, c);
        const double l = coupling / p1;
        const double p2 = blockEntry(d, d) - l * coupling;
        pivots_[static_cast<std::size_t>(p)] = p2;
        subtract(p, l, i);
        scale(i, p1);
        scale(p, p2);
        subtract(i, l, p);
    }
    return true;
}

// S = L diag(d) L' in place (L below the diagonal, d on it), without pivoting: S is positive
// definite unless rows depend, which a pivot not above 0 shows.
bool WarmActiveSystem::factorSchurComplement() {
    for (int j = 0; j < meq_; ++j) {
        double d = S_[at(j, j, meq_)];
        for (int k = 0; k < j; ++k) {
            const double l = S_[at(j, k, meq_)];
            d -= l * l * S_[at(k, k, meq_)];
        }
        if (!(d > 0.0)) {
            return false;
        }
        S_[at(j, j, meq_)] = d;
        for (int i = j + 1; i < meq_; ++i) {
            double s = S_[at(i, j, meq_)];
            for (int k = 0; k < j; ++k) {
                s -= S_[at(i, k, meq_)] * S_[at(j, k, meq_)] * S_[at(k, k, meq_)];
            }
            S_[at(i, j, meq_)] = s / d;
        }
    }
    return true;
}

// y = S^-1 schurRhs into the head of lambda.
void WarmActiveSystem::solveSchurComplement() {
    for (int i = 0; i < meq_; ++i) {
        double s = schurRhs_[static_cast<std::size_t>(i)];
        for (int k = 0; k < i; ++k) {
            s -= S_[at(i, k, meq_)] * lambda_[static_cast<std::size_t>(k)];
        }
        lambda_[static_cast<std::size_t>(i)] = s;
    }
    for (int i = meq_ - 1; i >= 0; --i) {
        double s = lambda_[static_cast<std::size_t>(i)] / S_[at(i, i, meq_)];
        for (int k = i + 1; k < meq_; ++k) {
            s -= S_[at(k, i, meq_)] * lambda_[static_cast<std::size_t>(k)];
        }
        lambda_[static_cast<std::size_t>(i)] = s;
    }
}

bool WarmActiveSystem::solve(const QpProblem& problem, const std::vector<int>& warm) {
    q_ = static_cast<int>(warm.size());
    if (!pairRows(problem, warm)) {
        return false;
    }
    if (!eliminateBlocks(problem, warm)) {
        return false;
    }
    double largest = 1.0;
    double smallest = std::numeric_limits<double>::infinity();
    for (const double p : pivots_) {
        largest = std::max(largest, p);
        smallest = std::min(smallest, p);
    }
    S_ = EHE_;
    schurRhs_ = equalityRhs_;
    for (int a = 0; a < meq_; ++a) {
        for (int b = 0; b < meq_; ++b) {
            double sum = 0.0;
            for (int r = 0; r < q_; ++r) {
                sum += B_[at(r, a, meq_)] * DinvB_[at(r, b, meq_)];
            }
            S_[at(a, b, meq_)] -= sum;
        }
        double sum = 0.0;
        for (int r = 0; r < q_; ++r) {
            sum += B_[at(r, a, meq_)] * DinvRhs_[static_cast<std::size_t>(r)];
        }
        schurRhs_[static_cast<std::size_t>(a)] -= sum;
    }
    if (!factorSchurComplement()) {
        return false;
    }
    for (int j = 0; j < meq_; ++j) {
        largest = std::max(largest, S_[at(j, j, meq_)]);
        smallest = std::min(smallest, S_[at(j, j, meq_)]);
    }
    if (smallest <= kQpDependenceTolerance * largest) {
        return false;
    }
    lambda_.resize(static_cast<std::size_t>(meq_ + q_));
    solveSchurComplement();
    for (int r = 0; r < q_; ++r) {
        double s = DinvRhs_[static_cast<std::size_t>(r)];
        for (int i = 0; i < meq_; ++i) {
            s -= DinvB_[at(r, i, meq_)] * lambda_[static_cast<std::size_t>(i)];
        }
        lambda_[static_cast<std::size_t>(meq_ + r)] = s;
    }
    return true;
}

void WarmActiveSystem::point(const QpProblem& problem, const std::vector<int>& warm,
                             Eigen::VectorXd& x) const {
    const Eigen::MatrixXd& E = problem.equalities;
    x.resize(n_);
    for (int v = 0; v < n_; ++v) {
        double s = 0.0;
        for (int i = 0; i < meq_; ++i) {
            s += E(i, v) * lambda_[static_cast<std::size_t>(i)];
        }
        x(v) = s;
    }
    for (int r = 0; r < q_; ++r) {
        const PairConstraint& c = warmRow(problem, warm, r);
        const double mu = lambda_[static_cast<std::size_t>(meq_ + r)];
        x(c.i0) += c.a0 * mu;
        if (c.i1 >= 0) {
            x(c.i1) += c.a1 * mu;
        }
    }
    for (int v = 0; v < n_; ++v) {
        x(v) = hInverse_[static_cast<std::size_t>(v)] * (x(v) - problem.linear(v));
    }
}

}  // namespace optimal
