// Demands built from a known setting are feasible: they must be met, within the maxima and
// rotation ranges, at no more power than that setting.
#include <gtest/gtest.h>

#include "OptimalTestSupport.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal_test;

void checkKnownSettings(const Shipobj& ship, std::mt19937& rng, int cases) {
    optimal::OptimalAllocator allocator;
    for (int c = 0; c < cases; ++c) {
        const Setting setting = randomSetting(rng, ship, 0.98);
        const optimal::OptimalAllocation a = allocator.allocate(ship, settingThrust(ship, setting));
        ASSERT_TRUE(a.met) << "case " << c;
        EXPECT_LE(a.power, settingPower(ship, setting) * (1.0 + 1e-6) + 1e-3);  // float cells
        for (std::size_t i = 0; i < a.rows.size(); ++i) {
            Thrusterobj t = ship.thruster(static_cast<unsigned>(i));
            EXPECT_LE(std::fabs(a.rows[i].force), t.maxForce());
            if (hasFixedDirection(t.type())) {
                EXPECT_EQ(a.rows[i].angle, static_cast<float>(t.startAngle()));
            } else if (hasRotationLimit(t.type()) && a.rows[i].force != 0.0f) {
                t.setForce(std::cos(a.rows[i].angle), std::sin(a.rows[i].angle));
                EXPECT_EQ(t.rangeStatus(1e-6), kInRange) << "row " << i;
            }
        }
    }
}

TEST(OptimalMeetsDemand, SettingsOfExampleAndRandomVessels) {
    std::mt19937 rng(11);
    for (const char* name : kScenarios) {
        checkKnownSettings(scenarioShip(name), rng, 100);
    }
    for (int v = 0; v < 60; ++v) {
        checkKnownSettings(randomShip(rng, 2 + v % 9, std::min(2 + v % 9, v % 7)), rng, 10);
    }
}

TEST(OptimalMeetsDemand, ZeroDemandGivesZeroThrustAtTheHeldAngles) {
    const Shipobj ship = scenarioShip("ferry");
    const optimal::OptimalAllocation a = optimal::OptimalAllocator().allocate(ship, forceMom());
    EXPECT_TRUE(a.met);
    for (std::size_t i = 0; i < a.rows.size(); ++i) {
        EXPECT_EQ(a.rows[i].force, 0.0f);
        EXPECT_EQ(a.rows[i].angle,
                  static_cast<float>(ship.thruster(static_cast<unsigned>(i)).angle()));
    }
}

}  // namespace
