// Series of requests: a replay gives the same bits, the kept state changes nothing but the
// sector choice, a slowly turning demand does not make rows hop between sectors, and bad
// rows are refused with a text that names them.
#include <gtest/gtest.h>

#include "OptimalTestSupport.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal;
using namespace optimal_test;

// Turning once around over `steps` at `share` of the total maximum, with a swinging moment.
forceMom turningDemand(const Shipobj& ship, int step, int steps, double share) {
    double total = 0.0;
    for (const Thrusterobj& t : ship.thrusters()) {
        total += share * t.maxForce();
    }
    const double a = 2.0 * kTruePi * step / steps;
    return forceMom(total * std::cos(a), total * std::sin(a), 0.5 * total * std::sin(3.0 * a), 0);
}

// The table a host keeps: the published angles become the present angles.
Shipobj published(const Shipobj& ship, const OptimalAllocation& a) {
    return editedShip(ship, [&](unsigned i, ThrusterParams& p) {
        p.angle = hasFixedDirection(p.type) ? p.angle : a.rows[i].angle;
    });
}

std::vector<Shipobj> seriesShips() {
    std::mt19937 rng(51);
    std::vector<Shipobj> ships{randomShip(rng, 10, 6), randomShip(rng, 7, 3)};
    for (const char* name : kScenarios) {
        ships.push_back(scenarioShip(name));
    }
    return ships;
}

// Without a switching margin the kept forces and active sets only speed a request up: the
// answer is a fresh allocator's. A replay repeats every bit.
TEST(OptimalContinuity, ReplayRepeatsBitsAndWarmEqualsCold) {
    OptimalSettings noMargin;
    noMargin.switchMargin = 0.0;
    for (const Shipobj& start : seriesShips()) {
        std::vector<PublishedRow> first;
        for (int replay = 0; replay < 2; ++replay) {
            OptimalAllocator warm(noMargin);
            Shipobj ship = start;
            for (int step = 0; step < 100; ++step) {
                const forceMom demand = turningDemand(ship, step * 7, 100, 0.1 + 0.007 * step);
                const OptimalAllocation w = warm.allocate(ship, demand);
                for (std::size_t i = 0; i < w.rows.size() && replay == 1; ++i) {
                    const PublishedRow& f = first[step * w.rows.size() + i];
                    ASSERT_TRUE(f.force == w.rows[i].force && f.angle == w.rows[i].angle);
                }
                first.insert(first.end(), w.rows.begin(), w.rows.end());
                const OptimalAllocation c = OptimalAllocator(noMargin).allocate(ship, demand);
                ASSERT_EQ(w.met, c.met) << "step " << step;
                EXPECT_NEAR(w.power, c.power, 3e-5 * c.power + 1e-6) << "step " << step;
                ship = published(ship, w);
            }
        }
    }
}

// A turning demand: a row changes sector only when that saves more than the margin (against
// a fresh allocator's least power) and never turns back within a few steps.
TEST(OptimalContinuity, SmoothSeriesDoesNotChatter) {
    OptimalSettings noMargin;
    noMargin.switchMargin = 0.0;
    const double margin = OptimalSettings().switchMargin;
    int switches = 0;
    for (const Shipobj& start : seriesShips()) {
        OptimalAllocator allocator;
        Shipobj ship = start;
        std::vector<float> sign(ship.count(), 0.0f);
        std::vector<int> since(ship.count(), 100);
        for (int step = 0; step < 1000; ++step) {
            const forceMom demand = turningDemand(ship, step, 1000, 0.25);
            const OptimalAllocation a = allocator.allocate(ship, demand);
            const OptimalAllocation best = OptimalAllocator(noMargin).allocate(ship, demand);
            ASSERT_EQ(a.met, best.met) << "step " << step;
            EXPECT_LE(a.power, best.power * (1.0 + margin) * (1.0 + 1e-5) + (a.met ? 0 : HUGE_VAL));
            for (std::size_t i = 0; i < a.rows.size(); ++i) {
                ++since[i];
                const auto shape = attainableSet(ship.thruster(static_cast<unsigned>(i))).shape;
                if (shape != AttainableSet::Shape::doubleSector || a.rows[i].force == 0.0f) {
                    continue;
                }
                const float s = a.rows[i].force > 0.0f ? 1.0f : -1.0f;
                if (sign[i] != 0.0f && s != sign[i]) {
                    EXPECT_GE(since[i], 20) << "row " << i << " step " << step;
                    since[i] = 0;
                    ++switches;
                }
                sign[i] = s;
            }
            ship = published(ship, a);
        }
    }
    EXPECT_GT(switches, 0);  // the series does make rows change sector
    EXPECT_LT(switches, 60);
}

TEST(OptimalContinuity, ZeroDemandGivesZeroThrustAtTheHeldAngles) {
    const Shipobj ship = scenarioShip("ferry");
    const OptimalAllocation a = OptimalAllocator().allocate(ship, forceMom());
    EXPECT_TRUE(a.met);
    for (std::size_t i = 0; i < a.rows.size(); ++i) {
        EXPECT_EQ(a.rows[i].force, 0.0f);
        EXPECT_EQ(a.rows[i].angle,
                  static_cast<float>(ship.thruster(static_cast<unsigned>(i)).angle()));
    }
}

}  // namespace
