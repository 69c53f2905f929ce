// The sector search against exhaustive search over all 2^k sector choices of the two-sector
// rows, each choice solved on its own.
#include <gtest/gtest.h>

#include <random>

#include "NodeProblems.h"
#include "OptimalTestSupport.h"
#include "VesselModel.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal;
using namespace optimal_test;

// The least power over every sector choice; infinity when no choice meets the target.
double exhaustiveLeastPower(const VesselModel& model, const OptimalSettings& settings,
                            const Eigen::Vector3d& target) {
    AllocationStats stats;
    NodeProblems problems(model, settings, stats);
    const std::size_t k = model.sectorRows().size();
    double best = std::numeric_limits<double>::infinity();
    for (unsigned mask = 0; mask < (1u << k); ++mask) {
        std::vector<Sector> choices;
        for (std::size_t j = 0; j < k; ++j) {
            choices.push_back((mask >> j) & 1u ? Sector::reverse : Sector::forward);
        }
        NodeOutcome outcome;
        problems.power(target, choices, NodeOutcome(), outcome);
        if (outcome.solved) {
            best = std::min(best, outcome.cost);
        }
    }
    return best;
}

Eigen::Vector3d scaled(const VesselModel& model, const forceMom& demand) {
    return Eigen::Vector3d(demand.fwd / model.forceScale(), demand.swd / model.forceScale(),
                           demand.rot / (model.forceScale() * model.armScale()));
}

TEST(OptimalSectorSearch, EqualsExhaustiveSearch) {
    std::mt19937 rng(21);
    OptimalSettings settings;
    settings.switchMargin = 0.0;
    settings.nodeCap = 1 << 12;  // no cap: the search must find the best choice by itself
    int branched = 0;
    for (int v = 0; v < 120; ++v) {
        const int sectorRows = 1 + v % 6;
        const Shipobj ship = randomShip(rng, sectorRows + v % 4, sectorRows);
        const VesselModel model(ship, settings.polygonSides);
        std::vector<std::array<double, 2>> setting;
        for (const Thrusterobj& t : ship.thrusters()) {
            setting.push_back(randomReachableForce(rng, t, 0.9));
        }
        const forceMom demand = settingThrust(ship, setting);
        OptimalAllocator allocator(settings);
        const OptimalAllocation a = allocator.allocate(ship, demand);
        ASSERT_EQ(a.stats.stage, 1);
        branched += a.stats.nodes > 1 ? 1 : 0;
        const double reference = exhaustiveLeastPower(model, settings, scaled(model, demand));
        const double power = a.power / std::pow(model.forceScale(), 1.5);
        EXPECT_NEAR(power, reference, 2e-5 * reference) << "vessel " << v;
    }
    EXPECT_GT(branched, 30);  // many cases need more than the root
}

// At the node cap the search keeps the best choice found so far: the result stays within
// the limits, and a met demand stays met.
TEST(OptimalSectorSearch, NodeCapKeepsTheBestChoiceFound) {
    std::mt19937 rng(22);
    OptimalSettings capped;
    capped.nodeCap = 2;
    int reached = 0;
    for (int v = 0; v < 40; ++v) {
        const Shipobj ship = randomShip(rng, 8, 6);
        std::vector<std::array<double, 2>> setting;
        for (const Thrusterobj& t : ship.thrusters()) {
            setting.push_back(randomReachableForce(rng, t, 0.6));
        }
        OptimalAllocator allocator(capped);
        const OptimalAllocation a = allocator.allocate(ship, settingThrust(ship, setting));
        reached += a.stats.nodeCapReached ? 1 : 0;
        EXPECT_LE(a.stats.nodes, 3 * capped.nodeCap);  // one search per stage at most
        for (std::size_t i = 0; i < a.rows.size(); ++i) {
            EXPECT_LE(std::fabs(a.rows[i].force),
                      ship.thruster(static_cast<unsigned>(i)).maxForce());
        }
        if (a.stats.stage == 1) {
            EXPECT_TRUE(a.met);
        }
    }
    EXPECT_GT(reached, 5);
}

}  // namespace
