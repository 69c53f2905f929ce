// The QP solver against the optimality conditions, checked from the problem data alone:
// feasibility, stationarity with the returned multipliers, their signs, complementarity.
#include <gtest/gtest.h>

#include <random>

#include "optimal/DualActiveSetQp.h"

namespace {

using namespace optimal;

double lhs(const PairConstraint& c, const Eigen::VectorXd& x) {
    return c.a0 * x(c.i0) + (c.i1 >= 0 ? c.a1 * x(c.i1) : 0.0);
}

void expectKkt(const QpProblem& p, const QpResult& r) {
    ASSERT_EQ(r.status, QpStatus::optimal);
    // -(h x + g) = E' y + sum mu_j a_j
    Eigen::VectorXd residual = -(p.hessianDiagonal.cwiseProduct(r.x) + p.linear) -
                               p.equalities.transpose() * r.equalityMultipliers;
    for (std::size_t j = 0; j < p.inequalities.size(); ++j) {
        const PairConstraint& c = p.inequalities[j];
        const double mu = r.inequalityMultipliers(static_cast<Eigen::Index>(j));
        EXPECT_GE(c.b - lhs(c, r.x), -1e-9);
        EXPECT_GE(mu, -1e-9);
        EXPECT_NEAR(mu * (c.b - lhs(c, r.x)), 0.0, 1e-9 * (1.0 + mu));
        residual(c.i0) -= mu * c.a0;
        residual(c.i1 >= 0 ? c.i1 : c.i0) -= c.i1 >= 0 ? mu * c.a1 : 0.0;
    }
    for (Eigen::Index i = 0; i < p.equalities.rows(); ++i) {
        EXPECT_NEAR(p.equalities.row(i).dot(r.x), p.equalityValues(i), 1e-9);
    }
    EXPECT_LE(residual.cwiseAbs().maxCoeff(), 1e-8);
}

// Random data with a known feasible point x0; about half the inequalities pass through it.
QpProblem randomProblem(std::mt19937& rng, int n, int equalities) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto random = [&](int rows, int cols) {
        return Eigen::MatrixXd::NullaryExpr(rows, cols, [&]() { return u(rng); }).eval();
    };
    QpProblem p;
    p.hessianDiagonal = random(n, 1).cwiseAbs().array() * 10.0 + 0.1;
    p.linear = 3.0 * random(n, 1);
    const Eigen::VectorXd x0 = random(n, 1);
    p.equalities = random(equalities, n);
    p.equalityValues = p.equalities * x0;
    for (int j = 0; j < 4 * n; ++j) {
        PairConstraint c{j % n, (j * 7 + 1) % n, u(rng), u(rng), 0.0};
        c.i1 = c.i1 == c.i0 ? -1 : c.i1;
        c.b = lhs(c, x0) + (u(rng) > 0.0 ? 0.3 * (u(rng) + 1.0) : 0.0);
        p.inequalities.push_back(c);
    }
    return p;
}

TEST(DualActiveSetQp, RandomProblemsColdAndWarmMeetTheOptimalityConditions) {
    std::mt19937 rng(5);
    DualActiveSetQp solver;
    for (int k = 0; k < 300; ++k) {
        const int n = 2 + k % 19;
        const QpProblem p = randomProblem(rng, n, std::min(k % 4, n - 1));
        QpResult cold, warm;
        solver.solve(p, {}, cold);
        expectKkt(p, cold);
        // Any warm list, the right one or not, reaches the same optimum.
        for (const std::vector<int>& list : {cold.active, std::vector<int>{0, 3, 5, 1, 2, 7}}) {
            solver.solve(p, list, warm);
            expectKkt(p, warm);
            EXPECT_LE((warm.x - cold.x).cwiseAbs().maxCoeff(), 1e-8);
        }
    }
}

// Three lines through (1, 1), each twice, cold and warm; then an equality repeated, and a
// contradicting one: dependent normals.
TEST(DualActiveSetQp, LinearlyDependentConstraintsAndInfeasibility) {
    QpProblem p{Eigen::Vector2d(1.0, 1.0),
                Eigen::Vector2d(-4.0, -4.0),
                Eigen::MatrixXd(0, 2),
                Eigen::VectorXd(0),
                {}};                           // unconstrained minimum (4, 4)
    for (int twice = 0; twice < 2; ++twice) {  // x <= 1, y <= 1, x + y <= 2
        p.inequalities.insert(p.inequalities.end(),
                              {{0, -1, 1, 0, 1}, {1, -1, 1, 0, 1}, {0, 1, 1, 1, 2}});
    }
    DualActiveSetQp solver;
    QpResult r;
    for (const std::vector<int>& warm : {std::vector<int>{}, std::vector<int>{0, 1, 2, 3, 4, 5}}) {
        solver.solve(p, warm, r);
        expectKkt(p, r);
        EXPECT_NEAR((r.x - Eigen::Vector2d(1.0, 1.0)).norm(), 0.0, 1e-12);
    }
    p.equalities = (Eigen::Matrix2d() << 1.0, -1.0, 2.0, -2.0).finished();
    p.equalityValues = Eigen::Vector2d(0.5, 1.0);  // the same line twice: x = (1, 0.5)
    solver.solve(p, {}, r);
    expectKkt(p, r);
    p.equalityValues(1) = 1.5;  // two parallel lines
    solver.solve(p, {}, r);
    EXPECT_EQ(r.status, QpStatus::infeasible);
}

// At the cap the solver stops with what it has: the constraints it made active hold.
TEST(DualActiveSetQp, StopsAtTheIterationCap) {
    std::mt19937 rng(9);
    const QpProblem p = randomProblem(rng, 12, 2);
    QpResult full, capped;
    DualActiveSetQp().solve(p, {}, full);
    ASSERT_GE(full.iterations, 3);
    DualActiveSetQp(2).solve(p, {}, capped);
    EXPECT_EQ(capped.status, QpStatus::iterationCap);
    EXPECT_EQ(capped.iterations, 2);
    for (const int j : capped.active) {
        EXPECT_NEAR(lhs(p.inequalities[static_cast<std::size_t>(j)], capped.x),
                    p.inequalities[static_cast<std::size_t>(j)].b, 1e-9);
    }
}

}  // namespace
