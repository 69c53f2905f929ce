// Seeded properties of the energy minimiser, checked independently of it: no thruster above
// its maximum, and on ships of free azimuths that nothing saturates, the demand met at the
// cost of the least-norm solution, computed here from the 3 x 3 normal equations by
// Cramer's rule.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"

namespace {

struct Azimuth {
    double x, y;
};

double det3(const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Least sum of squared components of forces (Fx_i, Fy_i) with sum Fx = d0, sum Fy = d1 and
// sum (x Fy - y Fx) = d2: F = At (A At)^-1 d.
double leastNormCost(const std::vector<Azimuth>& a, const double d[3]) {
    double sx = 0, sy = 0, syy = 0;
    for (const Azimuth& t : a) {
        sx += t.x;
        sy += t.y;
        syy += t.x * t.x + t.y * t.y;
    }
    const double n = static_cast<double>(a.size());
    const double G[3][3] = {{n, 0, -sy}, {0, n, sx}, {-sy, sx, syy}};
    double lambda[3];
    for (int k = 0; k < 3; ++k) {
        double Gk[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                Gk[r][c] = c == k ? d[r] : G[r][c];
        lambda[k] = det3(Gk) / det3(G);
    }
    double cost = 0;
    for (const Azimuth& t : a) {
        const double fx = lambda[0] - t.y * lambda[2], fy = lambda[1] + t.x * lambda[2];
        cost += fx * fx + fy * fy;
    }
    return cost;
}

}  // namespace

TEST(MinimiserProperties, FreeAzimuthsMeetTheDemandAtLeastNormCostAndStayWithinMaxima) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const int n = 3 + static_cast<int>(rng() % 6);
        const bool roomy = seed % 2 == 0;  // odd seeds: maxima small enough to saturate
        std::vector<Azimuth> spots;
        Shipobj ship;
        for (int i = 0; i < n; ++i) {
            spots.push_back({40 * u(rng), 10 * u(rng)});
            ThrusterParams p;
            p.number = static_cast<signed char>(i);
            p.posX = spots.back().x;
            p.posY = spots.back().y;
            p.maxForce = roomy ? 1e6 : 20 + 30 * (u(rng) + 1);
            p.reversePenalty = 1.0;
            p.maxRotation = 3.2;
            ship.addThruster(Thrusterobj(p));
        }
        const double d[3] = {100 * u(rng), 100 * u(rng), 1000 * u(rng)};
        allocProblem problem;
        const forceMom total = solveAllocation(std::vector<double>(n, -1.0),
                                               forceMom(d[0], d[1], d[2], 0.0), problem, ship);
        double cost = 0;
        for (const Thrusterobj& t : ship.thrusters()) {
            EXPECT_LE(t.force(), t.maxForce() * (1 + 1e-12));
            cost += t.force() * t.force();
        }
        if (!roomy) {
            continue;  // saturated: frozen thrusters need not reach the unconstrained optimum
        }
        // The Newton passes stop on a step of 0.001, the conjugate gradient on a residual of
        // 0.001: the demand and the cost hold to that order, not to rounding.
        EXPECT_NEAR(total.fwd, d[0], 1e-3);
        EXPECT_NEAR(total.swd, d[1], 1e-3);
        EXPECT_NEAR(total.rot, d[2], 1e-3);
        EXPECT_NEAR(cost, leastNormCost(spots, d), 1e-6 * (1 + cost));
    }
}
