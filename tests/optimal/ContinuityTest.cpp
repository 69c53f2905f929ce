// Series of requests: a replay gives the same bits, the kept state changes nothing but the
// sector choice, a slowly turning demand does not make rows hop between sectors, and bad
// rows are refused with a text that names them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "OptimalTestSupport.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal;
using namespace optimal_test;

// A demand that turns once around over `steps` steps at `share` of the vessel's total
// maximum force, with a slowly swinging moment.
forceMom turningDemand(const Shipobj& ship, int step, int steps, double share) {
    double total = 0.0;
    for (const Thrusterobj& t : ship.thrusters()) {
        total += t.maxForce();
    }
    const double a = 2.0 * kTruePi * step / steps;
    return forceMom(share * total * std::cos(a), share * total * std::sin(a),
                    0.05 * share * total * 10.0 * std::sin(3.0 * a), 0.0);
}

// The table a host keeps: the published angles become the rows' present angles.
Shipobj withPublishedAngles(const Shipobj& ship, const OptimalAllocation& a) {
    Shipobj next;
    for (std::size_t i = 0; i < ship.count(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        ThrusterParams p;
        p.number = t.number();
        p.posX = t.posX();
        p.posY = t.posY();
        p.type = t.type();
        p.maxForce = t.maxForce();
        p.force = a.rows[i].force;
        p.reversePenalty = t.reversePenalty();
        p.angle = hasFixedDirection(t.type()) ? t.angle() : a.rows[i].angle;
        p.startAngle = t.startAngle();
        p.maxRotation = t.maxRotation();
        next.addThruster(Thrusterobj(p));
    }
    return next;
}

std::vector<Shipobj> seriesShips() {
    std::mt19937 rng(51);
    std::vector<Shipobj> ships;
    for (const std::string& file : scenarioFiles()) {
        ships.push_back(scenarioShip(file));
    }
    ships.push_back(randomShip(rng, 10, 6));
    ships.push_back(randomShip(rng, 7, 3));
    return ships;
}

TEST(OptimalContinuity, ReplayGivesTheSameBits) {
    for (const Shipobj& start : seriesShips()) {
        std::vector<float> first;
        for (int replay = 0; replay < 2; ++replay) {
            OptimalAllocator allocator;
            Shipobj ship = start;
            std::mt19937 rng(52);
            std::uniform_real_distribution<double> jitter(0.9, 1.1);
            for (int step = 0; step < 150; ++step) {
                forceMom demand = turningDemand(ship, step, 150, 0.5 * jitter(rng));
                const OptimalAllocation a = allocator.allocate(ship, demand);
                for (std::size_t i = 0; i < a.rows.size(); ++i) {
                    if (replay == 0) {
                        first.push_back(a.rows[i].force);
                        first.push_back(a.rows[i].angle);
                    } else {
                        const std::size_t k = 2 * (step * a.rows.size() + i);
                        ASSERT_EQ(std::memcmp(&first[k], &a.rows[i].force, sizeof(float)), 0);
                        ASSERT_EQ(std::memcmp(&first[k + 1], &a.rows[i].angle, sizeof(float)), 0);
                    }
                }
                ship = withPublishedAngles(ship, a);
            }
        }
    }
}

// Without a switching margin, the kept forces and active sets only speed a request up: the
// answer is the one a fresh allocator gives.
TEST(OptimalContinuity, WarmEqualsCold) {
    OptimalSettings noMargin;
    noMargin.switchMargin = 0.0;
    for (const Shipobj& ship : seriesShips()) {
        OptimalAllocator warm(noMargin);
        std::mt19937 rng(53);
        std::uniform_real_distribution<double> share(0.0, 0.8);
        for (int step = 0; step < 120; ++step) {
            const forceMom demand = turningDemand(ship, step * 7, 120, share(rng));
            const OptimalAllocation w = warm.allocate(ship, demand);
            OptimalAllocator cold(noMargin);
            const OptimalAllocation c = cold.allocate(ship, demand);
            ASSERT_EQ(w.met, c.met) << "step " << step;
            EXPECT_NEAR(w.power, c.power, 3e-5 * c.power + 1e-6) << "step " << step;
            const double scale = std::hypot(demand.fwd, demand.swd) + 1.0;
            EXPECT_NEAR(w.thrust.fwd, c.thrust.fwd, 1e-5 * scale);
            EXPECT_NEAR(w.thrust.swd, c.thrust.swd, 1e-5 * scale);
        }
    }
}

// A slowly turning demand: a two-sector row changes sector only when that saves more than
// the margin (checked against a fresh allocator's least power), and never turns back within
// a few steps.
TEST(OptimalContinuity, SmoothSeriesDoesNotChatter) {
    OptimalSettings settings;
    OptimalSettings noMargin;
    noMargin.switchMargin = 0.0;
    constexpr int kSteps = 1000;
    constexpr int kShortestStay = 20;
    int switches = 0;
    for (const Shipobj& start : seriesShips()) {
        OptimalAllocator allocator(settings);
        Shipobj ship = start;
        std::vector<float> lastSign(ship.count(), 0.0f);
        std::vector<int> lastSwitch(ship.count(), -kShortestStay);
        for (int step = 0; step < kSteps; ++step) {
            const forceMom demand = turningDemand(ship, step, kSteps, 0.25);
            const OptimalAllocation a = allocator.allocate(ship, demand);
            OptimalAllocator fresh(noMargin);
            const OptimalAllocation best = fresh.allocate(ship, demand);
            ASSERT_EQ(a.met, best.met) << "step " << step;
            if (a.met) {
                EXPECT_LE(a.power, best.power * (1.0 + settings.switchMargin) * (1.0 + 1e-5));
            }
            for (std::size_t i = 0; i < a.rows.size(); ++i) {
                const AttainableSet set = attainableSet(ship.thruster(static_cast<unsigned>(i)));
                if (set.shape != AttainableSet::Shape::doubleSector || a.rows[i].force == 0.0f) {
                    continue;
                }
                const float sign = a.rows[i].force > 0.0f ? 1.0f : -1.0f;
                if (lastSign[i] != 0.0f && sign != lastSign[i]) {
                    EXPECT_GE(step - lastSwitch[i], kShortestStay)
                        << "row " << i << " step " << step;
                    lastSwitch[i] = step;
                    ++switches;
                }
                lastSign[i] = sign;
            }
            ship = withPublishedAngles(ship, a);
        }
    }
    EXPECT_GT(switches, 0);  // the series does make rows change sector
    EXPECT_LT(switches, 60);
}

TEST(OptimalContinuity, BadRowsAreRefusedByName) {
    const Shipobj good = scenarioShip("examples/ferry.json");
    OptimalAllocator allocator;
    const auto refusal = [&](const Shipobj& ship, const forceMom& demand) {
        try {
            allocator.allocate(ship, demand);
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    const auto changed = [&](auto edit) {
        Shipobj ship;
        for (std::size_t i = 0; i < good.count(); ++i) {
            ThrusterParams p;
            const Thrusterobj& t = good.thruster(static_cast<unsigned>(i));
            p.number = t.number();
            p.posX = t.posX();
            p.posY = t.posY();
            p.type = t.type();
            p.maxForce = t.maxForce();
            p.reversePenalty = t.reversePenalty();
            p.angle = t.angle();
            p.startAngle = t.startAngle();
            p.maxRotation = t.maxRotation();
            if (i == 2) {
                edit(p);
            }
            ship.addThruster(Thrusterobj(p));
        }
        return ship;
    };
    EXPECT_EQ(refusal(changed([](ThrusterParams& p) { p.maxForce = std::nan(""); }), forceMom()),
              "optimal allocator: row 2: maximum force is not a finite number");
    EXPECT_EQ(refusal(changed([](ThrusterParams& p) { p.posX = HUGE_VAL; }), forceMom()),
              "optimal allocator: row 2: forward arm is not a finite number");
    EXPECT_EQ(refusal(changed([](ThrusterParams& p) { p.maxForce = 0.0; }), forceMom()),
              "optimal allocator: row 2: maximum force is 0");
    EXPECT_EQ(refusal(changed([](ThrusterParams& p) {
                          p.type = 1;
                          p.reversePenalty = -1.0;
                      }),
                      forceMom()),
              "optimal allocator: row 2: reverse penalty is not a positive number");
    EXPECT_EQ(refusal(Shipobj(), forceMom()), "optimal allocator: no active row");
    EXPECT_EQ(refusal(good, forceMom(std::nan(""), 0.0, 0.0, 0.0)),
              "optimal allocator: the demand is not finite");
    EXPECT_EQ(refusal(good, forceMom(100.0, 0.0, 0.0, 0.0)), "accepted");
}

}  // namespace
