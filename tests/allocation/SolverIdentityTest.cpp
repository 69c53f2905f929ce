// The two production minimisers, the fast minimizeEnergy and the literal
// minimizeEnergyReference, agree bit for bit on seeded random ships: free, forward- and
// sideways-carried thrusters, saturation, zero maxima, every component mode, and non-finite
// or overflowing values. (`kestrom-sim solve --reference` is compared with `solve` on the
// example and bench problems by the sim tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>

#include "allocation/EnergyMinimisation.h"
#include "allocation/ReferenceMinimiser.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"

namespace {

// Bit pattern of x, with every NaN mapped to one pattern: which NaN an operation on two
// NaN operands propagates depends on operand order, which the compiler may swap.
std::uint64_t bits(double x) {
    if (std::isnan(x)) {
        return 0x7ff8000000000000u;
    }
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

struct Case {
    Shipobj ship;
    allocProblem problem;
};

Case randomCase(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
    const int n = 1 + static_cast<int>(rng() % 10);
    Case c;
    double totalMax = 0.0;
    for (int i = 0; i < n; ++i) {
        const double maxForce = rng() % 10 == 0 ? 0.0 : uniform(10.0, 500.0);
        totalMax += maxForce;
        const double startForce = rng() % 3 == 0 ? 0.0 : uniform(0.0, 1.5 * maxForce);
        // A penalty below 1 often makes the iteration diverge to NaN, which hides
        // differences; keep most thrusters at 1.
        const double penalty = rng() % 4 == 0 ? uniform(0.2, 1.0) : 1.0;
        c.ship.addThruster(Thrusterobj(static_cast<signed char>(i), uniform(-40.0, 40.0),
                                       uniform(-10.0, 10.0), static_cast<signed char>(rng() % 4),
                                       maxForce, startForce, penalty, uniform(0.0, 6.28), 0.0,
                                       uniform(0.0, 6.28)));
        const unsigned kind = rng() % 10;
        double v = -1.0;
        if (kind == 0) {
            v = std::numeric_limits<double>::quiet_NaN();
        } else if (kind < 4) {
            v = uniform(0.0, 6.28);
        } else if (kind < 6) {
            // Near a quarter turn, on both sides of the carrying bound.
            v = (rng() % 2 == 0 ? 1.5707963267948966 : 4.71238898038469) + uniform(-0.02, 0.02);
        }
        c.problem.barredAngles.push_back(v);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double extras[] = {0.0, 0.0, 0.0, 1.0, 2.0, 3.0, 4.5, 5.0, 6.0, 7.0, -2.0, 1e300, nan};
    c.problem.demand = forceMom(uniform(-0.8, 0.8) * totalMax, uniform(-0.8, 0.8) * totalMax,
                                uniform(-20.0, 20.0) * totalMax, extras[rng() % 13]);
    c.problem.count = n;
    c.problem.frozen.assign(static_cast<std::size_t>(n), 0);
    return c;
}

// c's ship rebuilt with every thruster of type 0 at angle 0.3 (range 3.0); change(index,
// posX, maxForce, force) may alter the forward arm, the maximum and the force.
template <class Change>
void rebuild(Case& c, Change change) {
    Shipobj changed;
    for (int i = 0; i < c.problem.count; ++i) {
        const Thrusterobj& t = c.ship.thruster(i);
        double posX = t.posX(), maxForce = t.maxForce(), force = t.force();
        change(i, posX, maxForce, force);
        changed.addThruster(Thrusterobj(static_cast<signed char>(i), posX, t.posY(), 0, maxForce,
                                        force, t.reversePenalty(), 0.3, 0.0, 3.0));
    }
    c.ship = changed;
}

// Small maxima against a large demand, so that thrusters saturate cycle after cycle and
// most rows of the normal matrix keep only their diagonal entry.
Case frozenHeavyCase(std::mt19937_64& rng) {
    Case c = randomCase(rng);
    rebuild(c,
            [](int, double&, double& maxForce, double& force) { maxForce *= 0.02, force *= 0.02; });
    return c;
}

// One non-finite or overflowing value: a demand component, or an arm so long that the
// products of the system matrix overflow.
Case nonFiniteCase(std::mt19937_64& rng) {
    Case c = randomCase(rng);
    const double inf = std::numeric_limits<double>::infinity();
    const double odd[] = {inf, -inf, std::numeric_limits<double>::quiet_NaN(), 1e300, 1e160};
    const double value = odd[rng() % 5];
    const unsigned where = rng() % 4;
    if (where < 2) {
        (where == 0 ? c.problem.demand.fwd : c.problem.demand.rot) = value;
    } else {
        const int k = static_cast<int>(rng() % static_cast<unsigned>(c.problem.count));
        rebuild(c, [&](int i, double& posX, double&, double&) { posX = i == k ? value : posX; });
    }
    return c;
}

// Solves c with both minimisers (the fast one on the reused record) and compares forces,
// derived fields and frozen flags bit for bit; counts frozen thrusters and NaN forces.
void expectSameSolve(Case c, allocProblem& reused, int trial, int& frozenSeen, int& nanSeen) {
    Shipobj expectedShip = c.ship;
    allocProblem expectedProblem = c.problem;
    minimizeEnergyReference(expectedProblem, expectedShip);

    reused.demand = c.problem.demand;
    reused.barredAngles = c.problem.barredAngles;
    reused.count = c.problem.count;
    reused.frozen = c.problem.frozen;
    minimizeEnergy(reused, c.ship);

    ASSERT_EQ(reused.frozen, expectedProblem.frozen) << "trial " << trial;
    for (int i = 0; i < c.problem.count; ++i) {
        const Thrusterobj& got = c.ship.thruster(i);
        const Thrusterobj& want = expectedShip.thruster(i);
        ASSERT_EQ(bits(got.forceX()), bits(want.forceX())) << "trial " << trial << " i " << i;
        ASSERT_EQ(bits(got.forceY()), bits(want.forceY())) << "trial " << trial << " i " << i;
        ASSERT_EQ(bits(got.force()), bits(want.force())) << "trial " << trial;
        ASSERT_EQ(bits(got.direction()), bits(want.direction())) << "trial " << trial;
        frozenSeen += reused.frozen[i];
        nanSeen += std::isnan(got.forceX()) ? 1 : 0;
    }
}

}  // namespace

// One work record is reused throughout, so its buffers grow and are reused across ship
// sizes; copied and moved records start empty and still solve the same.
TEST(SolverIdentity, FastAndReferenceMinimisersAgreeBitForBit) {
    std::mt19937_64 rng(20240611);
    allocProblem reused;
    int frozenSeen = 0;
    int nanSeen = 0;
    int thrusters = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const Case c = trial % 3 == 0 ? frozenHeavyCase(rng)
                                      : (trial % 3 == 1 ? nonFiniteCase(rng) : randomCase(rng));
        thrusters += c.problem.count;
        expectSameSolve(c, reused, trial, frozenSeen, nanSeen);
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(frozenSeen, thrusters / 6);  // the saturation path was exercised
    EXPECT_GT(nanSeen, 20);                // non-finite values reached the results
    EXPECT_LT(nanSeen, thrusters / 3);     // but most comparisons are between numbers

    allocProblem copied = reused;
    allocProblem moved = std::move(reused);
    for (allocProblem* record : {&copied, &moved}) {
        expectSameSolve(randomCase(rng), *record, -1, frozenSeen, nanSeen);
    }
}
