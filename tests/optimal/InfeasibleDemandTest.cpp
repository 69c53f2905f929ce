// Demands beyond capacity against GLPK. The test states each row's polygon by its vertices
// (sector edges, arcs split into pieces no longer than a 64-gon's, as the allocator's polygons
// are described) and lets GLPK find, over convex combinations of them (a binary choice per
// two-sector row), the moment limits and the least force residual given a moment: an
// independent formulation and an independent solver.
#include <glpk.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "OptimalTestSupport.h"
#include "allocation/RequestVerdict.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal_test;

constexpr int kSides = 64;
constexpr int kNormSides = 256;  // the residual's polygonal norm

struct Vertex {
    double fwd, swd, rot;  // scaled thrust of the vertex
};

// The vertices of each row's polygon, the two sectors of a two-sector row apart.
struct RowVertices {
    std::vector<Vertex> first, second;  // second: the reverse sector, else empty
};

std::vector<RowVertices> vertices(const Shipobj& ship, double F, double L) {
    std::vector<RowVertices> rows;
    for (const Thrusterobj& t : ship.thrusters()) {
        const AttainableSet set = attainableSet(t);
        const double m = set.maxForce / F;
        const auto at = [&](double angle) {
            const forceMom th =
                shipThrust(m * std::cos(angle), m * std::sin(angle), set.posX, set.posY);
            return Vertex{th.fwd, th.swd, th.rot / L};
        };
        RowVertices r;
        if (set.shape == AttainableSet::Shape::segment) {
            r.first = {at(set.angle), at(set.angle + kTruePi)};
        } else if (set.shape == AttainableSet::Shape::disc) {
            for (int k = 0; k < kSides; ++k) {
                r.first.push_back(at(2.0 * kTruePi * k / kSides));
            }
        } else {
            const int pieces = std::max(
                1,
                static_cast<int>(std::ceil(2.0 * set.halfWidth / (2.0 * kTruePi / kSides) - 1e-9)));
            for (int k = 0; k <= pieces; ++k) {
                const double a = set.angle - set.halfWidth + 2.0 * set.halfWidth * k / pieces;
                r.first.push_back(at(a));
                r.second.push_back(at(a + kTruePi));
            }
        }
        rows.push_back(r);
    }
    return rows;
}

// A GLPK programme over the vertex weights.
class VertexProgramme {
  public:
    explicit VertexProgramme(const std::vector<RowVertices>& rows) {
        glp_term_out(GLP_OFF);
        moment_ = glp_add_rows(lp_, 1);
        fwd_ = glp_add_rows(lp_, 1);
        swd_ = glp_add_rows(lp_, 1);
        glp_set_row_bnds(lp_, fwd_, GLP_FR, 0.0, 0.0);
        glp_set_row_bnds(lp_, swd_, GLP_FR, 0.0, 0.0);
        for (const RowVertices& r : rows) {
            int z = 0;
            if (!r.second.empty()) {
                z = glp_add_cols(lp_, 1);
                glp_set_col_kind(lp_, z, GLP_BV);
            }
            addGroup(r.first, z, -1.0, 0.0);
            if (!r.second.empty()) {
                addGroup(r.second, z, 1.0, 1.0);
            }
        }
    }
    ~VertexProgramme() { glp_delete_prob(lp_); }

    // The largest (sign 1) or smallest (sign -1) moment.
    double extremeMoment(double sign) {
        glp_set_row_bnds(lp_, moment_, GLP_FR, 0.0, 0.0);
        glp_set_obj_dir(lp_, sign > 0.0 ? GLP_MAX : GLP_MIN);
        for (int j = 1; j <= glp_get_num_cols(lp_); ++j) {
            glp_set_obj_coef(lp_, j, 0.0);
        }
        for (const auto& [column, v] : columns_) {
            glp_set_obj_coef(lp_, column, v.rot);
        }
        return solve();
    }

    // min over settings with the given moment (give or take slack) of max_k n_k . (target - force):
    // a polygonal norm below the Euclidean one by at most 1 - cos(pi / kNormSides).
    double leastResidual(double targetFwd, double targetSwd, double moment, double slack) {
        glp_set_row_bnds(lp_, moment_, GLP_DB, moment - slack, moment + slack);
        const int t = glp_add_cols(lp_, 1);
        glp_set_col_bnds(lp_, t, GLP_LO, 0.0, 0.0);
        glp_set_obj_dir(lp_, GLP_MIN);
        for (int j = 1; j <= glp_get_num_cols(lp_); ++j) {
            glp_set_obj_coef(lp_, j, j == t ? 1.0 : 0.0);
        }
        // n . force + t >= n . target
        const int first = glp_add_rows(lp_, kNormSides);
        for (int k = 0; k < kNormSides; ++k) {
            const double a = 2.0 * kTruePi * k / kNormSides;
            const int i = first + k;
            int index[3] = {0, fwd_, swd_};
            double value[3] = {0.0, std::cos(a), std::sin(a)};
            (void)index;
            glp_set_row_bnds(lp_, i, GLP_LO, std::cos(a) * targetFwd + std::sin(a) * targetSwd,
                             0.0);
            // force = sum of vertex weights: write the row over the weight columns directly.
            std::vector<int> cols{0};
            std::vector<double> vals{0.0};
            for (const auto& [column, v] : columns_) {
                cols.push_back(column);
                vals.push_back(value[1] * v.fwd + value[2] * v.swd);
            }
            cols.push_back(t);
            vals.push_back(1.0);
            glp_set_mat_row(lp_, i, static_cast<int>(cols.size()) - 1, cols.data(), vals.data());
        }
        return solve();
    }

  private:
    // Weights of one vertex group: sum <= slope z + bound (z = 0: sum <= 1).
    void addGroup(const std::vector<Vertex>& group, int z, double slope, double bound) {
        const int row = glp_add_rows(lp_, 1);
        std::vector<int> cols{0};
        std::vector<double> vals{0.0};
        for (const Vertex& v : group) {
            const int c = glp_add_cols(lp_, 1);
            glp_set_col_bnds(lp_, c, GLP_LO, 0.0, 0.0);
            columns_.push_back({c, v});
            cols.push_back(c);
            vals.push_back(1.0);
            setEntry(moment_, c, v.rot);
        }
        if (z != 0) {
            cols.push_back(z);
            vals.push_back(slope);
        }
        glp_set_row_bnds(lp_, row, GLP_UP, 0.0, z != 0 ? bound : 1.0);
        glp_set_mat_row(lp_, row, static_cast<int>(cols.size()) - 1, cols.data(), vals.data());
    }

    void setEntry(int row, int column, double value) {
        const int count = glp_get_mat_row(lp_, row, nullptr, nullptr);
        std::vector<int> cols(static_cast<std::size_t>(count) + 2);
        std::vector<double> vals(static_cast<std::size_t>(count) + 2);
        glp_get_mat_row(lp_, row, cols.data(), vals.data());
        cols[static_cast<std::size_t>(count) + 1] = column;
        vals[static_cast<std::size_t>(count) + 1] = value;
        glp_set_mat_row(lp_, row, count + 1, cols.data(), vals.data());
    }

    double solve() {
        glp_smcp simplex;
        glp_init_smcp(&simplex);
        simplex.msg_lev = GLP_MSG_OFF;
        EXPECT_EQ(glp_simplex(lp_, &simplex), 0);
        glp_iocp parameters;
        glp_init_iocp(&parameters);
        parameters.msg_lev = GLP_MSG_OFF;
        EXPECT_EQ(glp_intopt(lp_, &parameters), 0);
        EXPECT_EQ(glp_mip_status(lp_), GLP_OPT);
        return glp_mip_obj_val(lp_);
    }

    glp_prob* lp_ = glp_create_prob();
    int moment_ = 0, fwd_ = 0, swd_ = 0;
    std::vector<std::pair<int, Vertex>> columns_;
};

double largestForce(const Shipobj& ship) {
    double F = 1.0;
    for (const Thrusterobj& t : ship.thrusters()) {
        F = std::max(F, t.maxForce());
    }
    return F;
}

// Demands far beyond capacity in moment, in force or in both: the moment reached is the
// attainable one closest to the demand, and the force the closest given that moment.
TEST(OptimalInfeasibleDemand, ClosestMomentThenClosestForceAgainstGlpk) {
    std::mt19937 rng(41);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int momentLimited = 0;
    int forceLimited = 0;
    for (int c = 0; c < 90; ++c) {
        const Shipobj ship = c % 3 == 0 ? scenarioShip(scenarioFiles()[c % scenarioFiles().size()])
                                        : randomShip(rng, 2 + c % 7, c % 4);
        const double F = largestForce(ship);
        const double L = std::max(1.0, largestArm(ship));
        const std::vector<RowVertices> rows = vertices(ship, F, L);
        double total = 0.0;
        for (const Thrusterobj& t : ship.thrusters()) {
            total += t.maxForce();
        }
        // Moments up to twice and forces up to three times what all rows together give.
        const forceMom demand(3.0 * total * unit(rng), 3.0 * total * unit(rng),
                              2.0 * total * L * unit(rng), 0.0);
        optimal::OptimalAllocator allocator;
        const optimal::OptimalAllocation a = allocator.allocate(ship, demand);

        const double high = VertexProgramme(rows).extremeMoment(1.0);
        const double low = VertexProgramme(rows).extremeMoment(-1.0);
        const double closestMoment = std::clamp(demand.rot / (F * L), low, high);
        const double reachedMoment = a.thrust.rot / (F * L);
        EXPECT_NEAR(reachedMoment, closestMoment, 1e-6 * (high - low)) << "case " << c;
        momentLimited += closestMoment != demand.rot / (F * L) ? 1 : 0;

        // Given the closest moment as GLPK has it (the float cells round the reached one).
        const double bound = VertexProgramme(rows).leastResidual(
            demand.fwd / F, demand.swd / F, closestMoment, 1e-9 * (high - low));
        const double residual = std::hypot(a.shortfall.fwd, a.shortfall.swd) / F;
        EXPECT_GE(residual, bound - 1e-5) << "case " << c;
        EXPECT_LE(residual, bound / std::cos(kTruePi / kNormSides) + 1e-5)
            << "case " << c << " stage " << a.stats.stage << " nodes " << a.stats.nodes << " cap "
            << a.stats.nodeCapReached << a.stats.qpCapReached << " limited "
            << (closestMoment != demand.rot / (F * L)) << " rows " << ship.count();
        forceLimited += bound > 1e-6 ? 1 : 0;
        const bool beyond = bound > 1e-5 || closestMoment != demand.rot / (F * L);
        EXPECT_EQ(a.met, !beyond) << "case " << c;
        EXPECT_EQ(a.stats.stage, bound > 1e-5 ? 3 : (beyond ? 2 : 1)) << "case " << c;
    }
    EXPECT_GT(momentLimited, 20);
    EXPECT_GT(forceLimited, 40);
}

}  // namespace
