// Demands built from a known setting of the thrusters are feasible: the allocator must meet
// them, within the maxima and the rotation ranges, at no more power than that setting.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "OptimalTestSupport.h"
#include "allocation/RequestVerdict.h"
#include "optimal/OptimalAllocator.h"

namespace {

using optimal::OptimalAllocation;
using optimal::OptimalAllocator;
using namespace optimal_test;

// The published rows stay within each row's limits and produce the published thrust.
void expectWithinLimits(const Shipobj& ship, const OptimalAllocation& a) {
    ASSERT_EQ(a.rows.size(), ship.count());
    for (std::size_t i = 0; i < a.rows.size(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        EXPECT_EQ(a.rows[i].row, t.number());
        EXPECT_LE(std::fabs(a.rows[i].force), t.maxForce());
        if (hasFixedDirection(t.type())) {
            EXPECT_EQ(a.rows[i].angle, static_cast<float>(t.startAngle()));
        } else if (hasRotationLimit(t.type()) && a.rows[i].force != 0.0f) {
            Thrusterobj set = t;
            set.setForce(std::cos(a.rows[i].angle), std::sin(a.rows[i].angle));
            EXPECT_EQ(set.rangeStatus(1e-6), kInRange) << "row " << i;
        }
    }
}

// Draws settings inside the attainable sets (scaled by `share`) and checks that their thrust
// is met at no more power.
void checkKnownSettings(const Shipobj& ship, std::mt19937& rng, int cases, double share,
                        OptimalAllocator& allocator) {
    for (int c = 0; c < cases; ++c) {
        std::vector<std::array<double, 2>> setting;
        double knownPower = 0.0;
        for (const Thrusterobj& t : ship.thrusters()) {
            setting.push_back(randomReachableForce(rng, t, share));
            knownPower += settingPower(t, setting.back());
        }
        const forceMom demand = settingThrust(ship, setting);
        const OptimalAllocation a = allocator.allocate(ship, demand);
        ASSERT_TRUE(a.met) << "case " << c << ": shortfall " << a.shortfall.fwd << ", "
                           << a.shortfall.swd << ", " << a.shortfall.rot;
        EXPECT_EQ(a.stats.stage, 1);
        // The float cells round the power by about 1e-7.
        EXPECT_LE(a.power, knownPower * (1.0 + 1e-6) + 1e-3) << "case " << c;
        expectWithinLimits(ship, a);
        const forceMom again = publishedThrust(ship, a.rows);
        EXPECT_EQ(again.fwd, a.thrust.fwd);
        EXPECT_EQ(again.rot, a.thrust.rot);
    }
}

TEST(OptimalMeetsDemand, SettingsOfTheExampleVessels) {
    std::mt19937 rng(11);
    for (const std::string& file : scenarioFiles()) {
        SCOPED_TRACE(file);
        const Shipobj ship = scenarioShip(file);
        OptimalAllocator allocator;
        checkKnownSettings(ship, rng, 100, 0.98, allocator);
    }
}

TEST(OptimalMeetsDemand, SettingsOfRandomVesselsColdAndWarm) {
    std::mt19937 rng(12);
    for (int v = 0; v < 60; ++v) {
        const int rows = 2 + v % 9;
        const Shipobj ship = randomShip(rng, rows, std::min(rows, v % 7));
        SCOPED_TRACE("vessel " + std::to_string(v));
        OptimalAllocator warm;
        checkKnownSettings(ship, rng, 10, 0.98, warm);
    }
}

TEST(OptimalMeetsDemand, ZeroDemandGivesZeroThrustAtTheHeldAngles) {
    const Shipobj ship = scenarioShip("examples/ferry.json");
    OptimalAllocator allocator;
    const OptimalAllocation a = allocator.allocate(ship, forceMom());
    EXPECT_TRUE(a.met);
    for (std::size_t i = 0; i < a.rows.size(); ++i) {
        EXPECT_EQ(a.rows[i].force, 0.0f);
        EXPECT_EQ(a.rows[i].angle,
                  static_cast<float>(ship.thruster(static_cast<unsigned>(i)).angle()));
    }
}

}  // namespace
