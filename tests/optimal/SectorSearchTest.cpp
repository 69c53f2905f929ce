// The sector search against exhaustive search over all 2^k sector choices, each choice
// solved on its own; and what the node cap leaves.
#include <gtest/gtest.h>

#include "NodeProblems.h"
#include "OptimalTestSupport.h"

namespace {

using namespace optimal;
using namespace optimal_test;

TEST(OptimalSectorSearch, EqualsExhaustiveSearch) {
    std::mt19937 rng(21);
    OptimalSettings settings;
    settings.switchMargin = 0.0;
    settings.nodeCap = 1 << 12;  // no cap: the search must find the best choice itself
    int branched = 0;
    for (int v = 0; v < 120; ++v) {
        const int k = 1 + v % 6;
        const Shipobj ship = randomShip(rng, k + v % 4, k);
        const forceMom demand = settingThrust(ship, randomSetting(rng, ship, 0.9));
        const OptimalAllocation a = OptimalAllocator(settings).allocate(ship, demand);
        branched += a.stats.nodes > 1 ? 1 : 0;
        const VesselModel model(ship, settings.polygonSides);
        const double F = model.forceScale();
        const Eigen::Vector3d target(demand.fwd / F, demand.swd / F,
                                     demand.rot / (F * model.armScale()));
        AllocationStats stats;
        NodeProblems problems(model, settings, stats);
        double best = HUGE_VAL;
        for (unsigned mask = 0; mask < (1u << k); ++mask) {
            std::vector<Sector> choices;
            for (int j = 0; j < k; ++j) {
                choices.push_back((mask >> j) & 1u ? Sector::reverse : Sector::forward);
            }
            NodeOutcome outcome;
            problems.power(target, choices, NodeOutcome(), outcome);
            best = outcome.solved ? std::min(best, outcome.cost) : best;
        }
        EXPECT_NEAR(a.power / std::pow(F, 1.5), best, 2e-5 * best) << "vessel " << v;
    }
    EXPECT_GT(branched, 30);  // many cases need more than the root
}

// At the cap the best choice found so far stands, met in stage 1.
TEST(OptimalSectorSearch, NodeCapKeepsTheBestChoiceFound) {
    std::mt19937 rng(22);
    OptimalSettings capped;
    capped.nodeCap = 2;
    int reached = 0;
    for (int v = 0; v < 40; ++v) {
        const Shipobj ship = randomShip(rng, 8, 6);
        const OptimalAllocation a = OptimalAllocator(capped).allocate(
            ship, settingThrust(ship, randomSetting(rng, ship, 0.6)));
        reached += a.stats.nodeCapReached ? 1 : 0;
        EXPECT_LE(a.stats.nodes, 3 * capped.nodeCap);  // one search per stage at most
        EXPECT_EQ(a.met, a.stats.stage == 1);
    }
    EXPECT_GT(reached, 5);
}

}  // namespace
