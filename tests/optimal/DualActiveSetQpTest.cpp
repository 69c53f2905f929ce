// The QP solver on hand-worked problems, its answers checked against the optimality
// conditions from the problem data alone: feasibility, stationarity with the returned
// multipliers, their signs, complementarity. (Random problems are covered by the allocator's
// checks against independent optima.)
#include <gtest/gtest.h>

#include "optimal/DualActiveSetQp.h"

namespace {

using namespace optimal;

double lhs(const PairConstraint& c, const Eigen::VectorXd& x) {
    return c.a0 * x(c.i0) + (c.i1 >= 0 ? c.a1 * x(c.i1) : 0.0);
}

void expectKkt(const QpProblem& p, const QpResult& r) {
    ASSERT_EQ(r.status, QpStatus::optimal);
    // -(h x + g) = E' y + sum mu_k a_active[k]
    Eigen::VectorXd residual = -(p.hessianDiagonal.cwiseProduct(r.x) + p.linear) -
                               p.equalities.transpose() * r.equalityMultipliers;
    for (const PairConstraint& c : p.inequalities) {
        EXPECT_GE(c.b - lhs(c, r.x), -1e-9);
    }
    ASSERT_EQ(r.activeMultipliers.size(), r.active.size());
    for (std::size_t k = 0; k < r.active.size(); ++k) {
        const PairConstraint& c = p.inequalities[static_cast<std::size_t>(r.active[k])];
        const double mu = r.activeMultipliers[k];
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

// Three lines through (1, 1), each twice, cold and warm; then an equality repeated, and a
// contradicting one: dependent normals.
TEST(DualActiveSetQp, LinearlyDependentConstraintsAndInfeasibility) {
    QpProblem p{Eigen::Vector2d(1.0, 1.0),
                Eigen::Vector2d(-4.0, -4.0),
                Eigen::MatrixXd(0, 2),
                Eigen::VectorXd(0),
                {},
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

// x_i <= 1 from an unconstrained minimum at 4: one addition per row. At the cap the solver
// stops with what it has: the constraints it made active hold.
TEST(DualActiveSetQp, StopsAtTheIterationCap) {
    QpProblem p{Eigen::VectorXd::Ones(6),
                Eigen::VectorXd::Constant(6, -4.0),
                Eigen::MatrixXd(0, 6),
                Eigen::VectorXd(0),
                {},
                {}};
    for (int i = 0; i < 6; ++i) {
        p.inequalities.push_back({i, -1, 1, 0, 1});
    }
    QpResult full, capped;
    DualActiveSetQp().solve(p, {}, full);
    expectKkt(p, full);
    EXPECT_EQ(full.iterations, 6);
    DualActiveSetQp(2).solve(p, {}, capped);
    EXPECT_EQ(capped.status, QpStatus::iterationCap);
    EXPECT_EQ(capped.iterations, 2);
    ASSERT_EQ(capped.active.size(), 2u);
    for (const int j : capped.active) {
        EXPECT_NEAR(capped.x(p.inequalities[static_cast<std::size_t>(j)].i0), 1.0, 1e-12);
    }
}

// x_i <= 1 for six variables, of which the problem holds the first three (one block) only:
// the others stay at the unconstrained 4, also when a warm list names them. Blocks out of
// order or beyond the list are refused.
TEST(DualActiveSetQp, HoldsOnlyTheInequalitiesOfItsBlocks) {
    QpProblem p{Eigen::VectorXd::Ones(6),
                Eigen::VectorXd::Constant(6, -4.0),
                Eigen::MatrixXd(0, 6),
                Eigen::VectorXd(0),
                {},
                {{0, 3}}};
    for (int i = 0; i < 6; ++i) {
        p.inequalities.push_back({i, -1, 1, 0, 1});
    }
    QpResult r;
    for (const std::vector<int>& warm : {std::vector<int>{}, std::vector<int>{5, 0, 4}}) {
        DualActiveSetQp().solve(p, warm, r);
        ASSERT_EQ(r.status, QpStatus::optimal);
        EXPECT_EQ(r.x, (Eigen::VectorXd(6) << 1, 1, 1, 4, 4, 4).finished());
        EXPECT_EQ(r.active.size(), 3u);
    }
    for (const std::vector<InequalityBlock>& bad :
         {std::vector<InequalityBlock>{{3, 2}, {0, 2}}, std::vector<InequalityBlock>{{4, 3}}}) {
        p.blocks = bad;
        EXPECT_THROW(DualActiveSetQp().solve(p, {}, r), std::invalid_argument);
    }
}

}  // namespace
