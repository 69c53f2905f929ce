// Seeded properties of the energy minimiser, checked independently of it: no thruster above
// its maximum, and on ships of free azimuths that nothing saturates, the demand met at the
// cost of the least-norm solution of the 3 x 3 normal equations.
#include <gtest/gtest.h>

#include <random>

#include "AllocationTestSupport.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"

TEST(MinimiserProperties, FreeAzimuthsMeetTheDemandAtLeastNormCostAndStayWithinMaxima) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        const int n = 3 + static_cast<int>(rng() % 6);
        const bool roomy = seed % 2 == 0;  // odd seeds: maxima small enough to saturate
        std::vector<std::array<double, 2>> spots;
        Shipobj ship;
        for (int i = 0; i < n; ++i) {
            spots.push_back({40 * u(rng), 10 * u(rng)});
            ThrusterParams p;
            p.number = static_cast<signed char>(i);
            p.posX = spots.back()[0];
            p.posY = spots.back()[1];
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
        double least = 0;
        for (const auto& [fx, fy] : leastNorm(spots, d[0], d[1], d[2]))
            least += fx * fx + fy * fy;
        EXPECT_NEAR(cost, least, 1e-6 * (1 + cost));
    }
}
