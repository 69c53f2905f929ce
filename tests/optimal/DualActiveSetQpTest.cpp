// The QP solver against the optimality conditions, checked here from the problem data alone:
// feasibility, stationarity with the returned multipliers, their signs and complementarity.
#include <gtest/gtest.h>

#include <random>

#include "optimal/DualActiveSetQp.h"

namespace {

using optimal::DualActiveSetQp;
using optimal::PairConstraint;
using optimal::QpProblem;
using optimal::QpResult;
using optimal::QpStatus;

constexpr double kTolerance = 1e-8;

double lhs(const PairConstraint& c, const Eigen::VectorXd& x) {
    return c.a0 * x(c.i0) + (c.i1 >= 0 ? c.a1 * x(c.i1) : 0.0);
}

void expectKkt(const QpProblem& p, const QpResult& r) {
    ASSERT_EQ(r.status, QpStatus::optimal);
    const Eigen::Index n = p.hessianDiagonal.size();
    // -(h x + g) = E' y + sum mu_j a_j
    Eigen::VectorXd residual = -(p.hessianDiagonal.cwiseProduct(r.x) + p.linear);
    residual -= p.equalities.transpose() * r.equalityMultipliers;
    for (std::size_t j = 0; j < p.inequalities.size(); ++j) {
        const PairConstraint& c = p.inequalities[j];
        const double mu = r.inequalityMultipliers(static_cast<Eigen::Index>(j));
        const double slack = c.b - lhs(c, r.x);
        EXPECT_GE(slack, -kTolerance) << "inequality " << j;
        EXPECT_GE(mu, -kTolerance);
        EXPECT_NEAR(mu * slack, 0.0, kTolerance);
        residual(c.i0) -= mu * c.a0;
        if (c.i1 >= 0) {
            residual(c.i1) -= mu * c.a1;
        }
    }
    for (Eigen::Index i = 0; i < p.equalities.rows(); ++i) {
        EXPECT_NEAR(p.equalities.row(i).dot(r.x), p.equalityValues(i), kTolerance);
    }
    EXPECT_LE(residual.cwiseAbs().maxCoeff(), kTolerance * (1.0 + n));
}

// A random problem with a known feasible point x0: every inequality holds at x0.
QpProblem randomProblem(std::mt19937& rng, int n, int equalities, int inequalities) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    QpProblem p;
    p.hessianDiagonal.resize(n);
    p.linear.resize(n);
    for (int i = 0; i < n; ++i) {
        p.hessianDiagonal(i) = 0.1 + 5.0 * (unit(rng) + 1.0);
        p.linear(i) = 3.0 * unit(rng);
    }
    Eigen::VectorXd x0(n);
    for (int i = 0; i < n; ++i) {
        x0(i) = unit(rng);
    }
    p.equalities.resize(equalities, n);
    for (int i = 0; i < equalities; ++i) {
        for (int k = 0; k < n; ++k) {
            p.equalities(i, k) = unit(rng);
        }
    }
    p.equalityValues = p.equalities * x0;
    std::uniform_int_distribution<int> variable(0, n - 1);
    for (int j = 0; j < inequalities; ++j) {
        PairConstraint c;
        c.i0 = variable(rng);
        c.a0 = unit(rng);
        if (n > 1 && unit(rng) > -0.5) {
            do {
                c.i1 = variable(rng);
            } while (c.i1 == c.i0);
            c.a1 = unit(rng);
        }
        c.b = lhs(c, x0) + 0.3 * (unit(rng) + 1.0) * (unit(rng) > 0.0 ? 1.0 : 0.0);
        p.inequalities.push_back(c);
    }
    return p;
}

TEST(DualActiveSetQp, RandomProblemsMeetTheOptimalityConditionsColdAndWarm) {
    std::mt19937 rng(5);
    DualActiveSetQp solver;
    int constrained = 0;
    for (int k = 0; k < 400; ++k) {
        const int n = 2 + k % 19;
        const QpProblem p = randomProblem(rng, n, k % 4 == 0 ? 0 : std::min(3, n - 1), 4 * n);
        QpResult cold;
        solver.solve(p, {}, cold);
        expectKkt(p, cold);
        constrained += cold.active.empty() ? 0 : 1;
        // Any warm list, good or not, reaches the same optimum.
        QpResult warm;
        solver.solve(p, cold.active, warm);
        expectKkt(p, warm);
        EXPECT_LE((warm.x - cold.x).cwiseAbs().maxCoeff(), 1e-9);
        EXPECT_LE(warm.iterations, cold.iterations);
        std::vector<int> wrong;
        for (int j = 0; j < n; ++j) {
            wrong.push_back((j * 7 + k) % static_cast<int>(p.inequalities.size()));
        }
        solver.solve(p, wrong, warm);
        expectKkt(p, warm);
        EXPECT_LE((warm.x - cold.x).cwiseAbs().maxCoeff(), 1e-9);
    }
    EXPECT_GT(constrained, 300);  // the cases reach active sets
}

// Lines through one point, repeated lines and a repeated equality: active sets whose normals
// depend linearly on each other.
TEST(DualActiveSetQp, LinearlyDependentConstraints) {
    QpProblem p;
    p.hessianDiagonal = Eigen::Vector2d(1.0, 1.0);
    p.linear = Eigen::Vector2d(-4.0, -4.0);  // unconstrained minimum (4, 4)
    p.equalities.resize(0, 2);
    p.equalityValues.resize(0);
    // x <= 1, y <= 1, x + y <= 2 (through (1, 1)), twice each.
    for (int twice = 0; twice < 2; ++twice) {
        p.inequalities.push_back({0, -1, 1.0, 0.0, 1.0});
        p.inequalities.push_back({1, -1, 1.0, 0.0, 1.0});
        p.inequalities.push_back({0, 1, 1.0, 1.0, 2.0});
    }
    DualActiveSetQp solver;
    QpResult r;
    solver.solve(p, {}, r);
    expectKkt(p, r);
    EXPECT_NEAR(r.x(0), 1.0, 1e-12);
    EXPECT_NEAR(r.x(1), 1.0, 1e-12);
    EXPECT_LE(r.active.size(), 2u);
    solver.solve(p, {0, 1, 2, 3, 4, 5}, r);
    expectKkt(p, r);

    // The same equality twice is implied; a contradicting copy makes the problem infeasible.
    p.equalities.resize(2, 2);
    p.equalities << 1.0, -1.0, 2.0, -2.0;
    p.equalityValues = Eigen::Vector2d(0.5, 1.0);
    solver.solve(p, {}, r);
    expectKkt(p, r);
    EXPECT_NEAR(r.x(0) - r.x(1), 0.5, 1e-12);
    p.equalityValues(1) = 1.5;
    solver.solve(p, {}, r);
    EXPECT_EQ(r.status, QpStatus::infeasible);
}

TEST(DualActiveSetQp, ContradictingBoundsAreInfeasible) {
    QpProblem p;
    p.hessianDiagonal = Eigen::Vector2d(1.0, 2.0);
    p.linear = Eigen::Vector2d(0.0, 0.0);
    p.equalities.resize(0, 2);
    p.equalityValues.resize(0);
    p.inequalities = {{0, 1, 1.0, 1.0, -1.0}, {0, -1, -1.0, 0.0, 0.0}, {1, -1, -1.0, 0.0, 0.0}};
    DualActiveSetQp solver;
    QpResult r;
    solver.solve(p, {}, r);
    EXPECT_EQ(r.status, QpStatus::infeasible);  // x + y <= -1 with x, y >= 0
}

// At the cap the solver stops with what it has: the constraints it made active hold.
TEST(DualActiveSetQp, StopsAtTheIterationCap) {
    std::mt19937 rng(9);
    const QpProblem p = randomProblem(rng, 12, 2, 48);
    QpResult full;
    DualActiveSetQp(optimal::kQpDefaultIterationCap).solve(p, {}, full);
    ASSERT_EQ(full.status, QpStatus::optimal);
    ASSERT_GE(full.iterations, 3);
    QpResult capped;
    DualActiveSetQp(2).solve(p, {}, capped);
    EXPECT_EQ(capped.status, QpStatus::iterationCap);
    EXPECT_EQ(capped.iterations, 2);
    for (const int j : capped.active) {
        EXPECT_NEAR(lhs(p.inequalities[static_cast<std::size_t>(j)], capped.x),
                    p.inequalities[static_cast<std::size_t>(j)].b, 1e-9);
    }
}

}  // namespace
