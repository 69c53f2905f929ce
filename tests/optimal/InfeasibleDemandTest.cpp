// Demands beyond capacity against GLPK. The test states each row's polygon by its vertices
// (sector edges, arcs in pieces no longer than a side of the allocator's full-turn polygon) and
// lets GLPK optimise over convex combinations of them, a binary choice per two-sector row: an
// independent formulation and solver for the moment limits and the least force residual given a
// moment.
#include <glpk.h>
#include <gtest/gtest.h>

#include "OptimalTestSupport.h"
#include "allocation/RequestVerdict.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal_test;

constexpr int kNormSides = 256;  // the residual's polygonal norm, below |r| by <= 0.008 %

struct Query {
    double momentSign = 0.0;  // extreme moment: +1 largest, -1 smallest; 0: least residual
    double fwd = 0.0, swd = 0.0, moment = 0.0, slack = 0.0;  // least residual (scaled)
};

double vertexProgramme(const Shipobj& ship, double F, double L, const Query& q) {
    glp_term_out(GLP_OFF);
    glp_prob* lp = glp_create_prob();
    std::vector<int> ri{0}, ci{0};
    std::vector<double> v{0.0};
    const auto entry = [&](int r, int c, double x) {
        ri.push_back(r), ci.push_back(c), v.push_back(x);
    };
    const int moment = glp_add_rows(lp, 1);
    const int norm = q.momentSign == 0.0 ? glp_add_rows(lp, kNormSides) : 0;
    const int t = glp_add_cols(lp, 1);  // the residual's bound
    glp_set_col_bnds(lp, t, GLP_LO, 0.0, 0.0);
    glp_set_obj_dir(lp, q.momentSign > 0.0 ? GLP_MAX : GLP_MIN);
    glp_set_obj_coef(lp, t, q.momentSign == 0.0 ? 1.0 : 0.0);
    // One group of vertex weights with sum <= 1 (z = 0) or sum <= z / 1 - z.
    const auto group = [&](const Thrusterobj& th, const std::vector<double>& angles, int z,
                           bool second) {
        const int sum = glp_add_rows(lp, 1);
        glp_set_row_bnds(lp, sum, GLP_UP, 0.0, z != 0 && !second ? 0.0 : 1.0);
        if (z != 0) {
            entry(sum, z, second ? 1.0 : -1.0);
        }
        for (const double a : angles) {
            const double m = th.maxForce() / F;
            const forceMom f = shipThrust(m * std::cos(a), m * std::sin(a), th.posX(), th.posY());
            const int w = glp_add_cols(lp, 1);
            glp_set_col_bnds(lp, w, GLP_LO, 0.0, 0.0);
            entry(sum, w, 1.0);
            entry(moment, w, f.rot / L);
            glp_set_obj_coef(lp, w, q.momentSign == 0.0 ? 0.0 : f.rot / L);
            for (int k = 0; norm != 0 && k < kNormSides; ++k) {  // n.force + t >= n.target
                const double b = 2.0 * kTruePi * k / kNormSides;
                entry(norm + k, w, std::cos(b) * f.fwd + std::sin(b) * f.swd);
            }
        }
    };
    for (const Thrusterobj& th : ship.thrusters()) {
        const AttainableSet s = attainableSet(th);
        std::vector<double> first, second;
        if (s.shape == AttainableSet::Shape::segment) {
            first = {s.angle, s.angle + kTruePi};
        }
        const int sides = optimal::OptimalSettings().polygonSides;
        for (int k = 0; s.shape == AttainableSet::Shape::disc && k < sides; ++k) {
            first.push_back(2.0 * kTruePi * k / sides);
        }
        const int pieces = static_cast<int>(std::ceil(s.halfWidth * sides / kTruePi - 1e-9));
        for (int k = 0; s.shape == AttainableSet::Shape::doubleSector && k <= pieces; ++k) {
            first.push_back(s.angle - s.halfWidth + 2.0 * s.halfWidth * k / std::max(1, pieces));
            second.push_back(first.back() + kTruePi);
        }
        const int z = second.empty() ? 0 : glp_add_cols(lp, 1);
        if (z != 0) {
            glp_set_col_kind(lp, z, GLP_BV);
            group(th, second, z, true);
        }
        group(th, first, z, false);
    }
    glp_set_row_bnds(lp, moment, q.momentSign == 0.0 ? GLP_DB : GLP_FR, q.moment - q.slack,
                     q.moment + q.slack);
    for (int k = 0; norm != 0 && k < kNormSides; ++k) {
        const double b = 2.0 * kTruePi * k / kNormSides;
        entry(norm + k, t, 1.0);
        glp_set_row_bnds(lp, norm + k, GLP_LO, std::cos(b) * q.fwd + std::sin(b) * q.swd, 0.0);
    }
    glp_load_matrix(lp, static_cast<int>(v.size()) - 1, ri.data(), ci.data(), v.data());
    glp_smcp simplex;
    glp_init_smcp(&simplex);
    simplex.msg_lev = GLP_MSG_OFF;
    EXPECT_EQ(glp_simplex(lp, &simplex), 0);
    glp_iocp integer;
    glp_init_iocp(&integer);
    integer.msg_lev = GLP_MSG_OFF;
    EXPECT_EQ(glp_intopt(lp, &integer), 0);
    EXPECT_EQ(glp_mip_status(lp), GLP_OPT);
    const double value = glp_mip_obj_val(lp);
    glp_delete_prob(lp);
    return value;
}

// Moments up to twice and forces up to three times what all rows give together: the moment
// reached is the attainable one closest to the demand, the force the closest given it.
TEST(OptimalInfeasibleDemand, ClosestMomentThenClosestForceAgainstGlpk) {
    std::mt19937 rng(41);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    int momentLimited = 0, forceLimited = 0;
    for (int c = 0; c < 90; ++c) {
        const Shipobj ship =
            c % 3 == 0 ? scenarioShip(kScenarios[c % 4]) : randomShip(rng, 2 + c % 7, c % 4);
        double F = 1.0, total = 0.0;
        for (const Thrusterobj& t : ship.thrusters()) {
            F = std::max(F, t.maxForce());
            total += t.maxForce();
        }
        const double L = std::max(1.0, largestArm(ship));
        const forceMom demand(3.0 * total * u(rng), 3.0 * total * u(rng), 2.0 * total * L * u(rng),
                              0);
        const optimal::OptimalAllocation a = optimal::OptimalAllocator().allocate(ship, demand);

        const double high = vertexProgramme(ship, F, L, {1.0});
        const double low = vertexProgramme(ship, F, L, {-1.0});
        const double closest = std::clamp(demand.rot / (F * L), low, high);
        EXPECT_NEAR(a.thrust.rot / (F * L), closest, 1e-6 * (high - low)) << "case " << c;
        // Given the closest moment as GLPK has it (the float cells round the reached one).
        const double bound = vertexProgramme(
            ship, F, L, {0.0, demand.fwd / F, demand.swd / F, closest, 1e-9 * (high - low)});
        const double residual = std::hypot(a.shortfall.fwd, a.shortfall.swd) / F;
        EXPECT_GE(residual, bound - 1e-5) << "case " << c;
        EXPECT_LE(residual, bound / std::cos(kTruePi / kNormSides) + 1e-5) << "case " << c;
        const bool limited = closest != demand.rot / (F * L);
        EXPECT_EQ(a.met, !limited && bound <= 1e-5) << "case " << c;
        EXPECT_EQ(a.stats.stage, bound > 1e-5 ? 3 : (limited ? 2 : 1)) << "case " << c;
        momentLimited += limited ? 1 : 0;
        forceLimited += bound > 1e-5 ? 1 : 0;
    }
    EXPECT_GT(momentLimited, 20);
    EXPECT_GT(forceLimited, 40);
}

}  // namespace
