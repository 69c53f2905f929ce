// Result checking, the barring search and rescaling on small ships worked out by hand.
#include <gtest/gtest.h>

#include "AllocationTestSupport.h"
#include "allocation/BarringAndRescaling.h"
#include "allocation/ThrustFrame.h"
#include "allocation/Thrusterobj.h"
#include "allocation/solveAllocation.h"

namespace {

constexpr double kFree = -1.0;

// The channel's state that the checker borrows.
struct ChannelState {
    Shipobj ship;
    allocProblem problem;
    std::vector<double> barredAngles;
    forceMom demanded;
    forceMom generated{-7.0, -7.0, -7.0, -7.0};

    BarringAndRescaling checker() {
        barredAngles.resize(ship.count(), kFree);
        return BarringAndRescaling(ship, problem, barredAngles, demanded, generated);
    }
};

// Two free azimuths ahead, to which `first` is added as thruster 0.
Shipobj withTwoAzimuths(const Thrusterobj& first) {
    return shipOf({first, Thrusterobj(1, 5, 2, 0, 100, 0, 1.0, 0, 0, 3.2),
                   Thrusterobj(2, 5, -2, 0, 100, 0, 1.0, 0, 0, 3.2)});
}

// Range [6.0, 0.5] through zero; its thrust points at 1.8, its reverse at 4.94: both outside.
Thrusterobj wrappedAndBarred() {
    return Thrusterobj(0, -5, 0, 2, 100, 50, 1.0, 1.8, 0.10840734641, 0.39159265358);
}

// Range [2.64, 3.64], thrust along 1.0 (reverse 4.14): barred.
Thrusterobj sternBarred(signed char number, double posY, signed char type = 2) {
    return Thrusterobj(number, -5, posY, type, 100, 50, 1.0, 1.0, 3.14159, 0.5);
}

double clamped(const forceMom& demand, const forceMom& outcome) {
    const double diff = getDiff(demand, outcome);
    return diff > 0.001 ? diff : 0.001;
}

std::array<double, 4> parts(const forceMom& f) {
    return {f.fwd, f.swd, f.rot, f.extra};
}

}  // namespace

// Relative error from the threshold on, absolute below it; a NaN never passes; the vector
// form and the difference ignore the energy.
TEST(ResultChecking, ComparesComponentsWithTheirTolerance) {
    EXPECT_TRUE(checkresult(100.0, 100.05, 0.01, 0.001));
    EXPECT_FALSE(checkresult(100.0, 100.2, 0.01, 0.001));
    EXPECT_TRUE(checkresult(-100.0, -100.05, 0.01, 0.001));
    EXPECT_TRUE(checkresult(0.005, 0.0055, 0.01, 0.001));
    EXPECT_FALSE(checkresult(0.005, 0.007, 0.01, 0.001));
    EXPECT_FALSE(checkresult(100.0, NAN, 0.01, 0.001));

    const forceMom requested(1.0, 2.0, 3.0, 5.0);
    EXPECT_TRUE(checkresult(requested, forceMom(1.0, 2.0, 3.0, 99.0), 0.01, 0.001));
    EXPECT_FALSE(checkresult(requested, forceMom(1.0, 2.1, 3.0, 5.0), 0.01, 0.001));
    EXPECT_EQ(getDiff(requested, forceMom(1.0, 2.0, 3.0, 99.0)), 0.0);
    EXPECT_EQ(getDiff(requested, forceMom(0.5, 2.5, 4.0, 0.0)), 2.0);
}

// Nothing barred: nothing changes. Every thrust within its maximum (setForce clips every
// thrust it stores): rescaling changes nothing, per thruster (the totals proportional to the
// demand) or common. Every barred thruster already fixed: one plain solve.
TEST(ResultChecking, NothingToSearchOrCutBack) {
    ChannelState free;
    free.ship =
        withTwoAzimuths(Thrusterobj(0, -5, 0, 2, 100, 50, 1.0, 0.2, 0.10840734641, 0.39159265358));
    const Shipobj before = free.ship;
    free.checker().processBarred(forceMom(60, 10, 20, 0));
    EXPECT_EQ(free.generated.fwd, -7.0);
    const Thrusterobj& pushing = before.thruster(0);  // the others push nothing
    const forceMom proportional =
        rescaleFrameThrust(pushing.forceX(), pushing.forceY(), pushing.posX(), pushing.posY());
    for (const forceMom& demand : {proportional, forceMom(60, 10, 20, 0)}) {
        free.demanded = demand;
        free.checker().rescale();
        for (unsigned int i = 0; i < 3; ++i) {
            EXPECT_NEAR(free.ship.thruster(i).forceX(), before.thruster(i).forceX(), 1e-12);
            EXPECT_NEAR(free.ship.thruster(i).forceY(), before.thruster(i).forceY(), 1e-12);
        }
    }

    ChannelState fixed;
    fixed.ship = withTwoAzimuths(wrappedAndBarred());
    Shipobj copy = fixed.ship;
    const std::vector<double> angles = {0.2, kFree, kFree};
    allocProblem problem;
    const forceMom demand(60, 10, 20, 0);
    const forceMom direct = solveAllocation(angles, demand, problem, copy);
    EXPECT_EQ(parts(fixed.checker().barThruster(demand, fixed.ship, angles)), parts(direct));
    EXPECT_EQ(fixed.ship.thruster(0).forceX(), copy.thruster(0).forceX());
}

// One barred thruster with a range through zero: twelve trials from 6.0 round to 0.5 (the
// last solve fixes it there), the ship left in the best trial's state, and that trial no
// worse than the first one (a solve from zero thrust at the lower bound), energy deciding
// among trials that meet the demand.
TEST(ResultChecking, GridSearchOverAWrappedRange) {
    ChannelState state;
    state.ship = withTwoAzimuths(wrappedAndBarred());
    const forceMom demand(60, 10, 20, 0);

    Shipobj first = state.ship;
    first.adjustforceThruster(0, 0.0, 0.0);
    allocProblem problem;
    const forceMom firstTrial =
        solveAllocation({first.thruster(0).lowerAngle(), kFree, kFree}, demand, problem, first);

    state.checker().processBarred(demand);
    EXPECT_NEAR(state.problem.barredAngles[0], 0.5, 1e-9);
    EXPECT_EQ(state.problem.barredAngles[1], kFree);
    EXPECT_EQ(parts(state.generated), parts(state.ship.totalForce()));
    const double best = clamped(demand, state.generated);
    EXPECT_LE(best, clamped(demand, firstTrial));
    if (best == clamped(demand, firstTrial)) {
        EXPECT_LE(state.generated.extra, firstTrial.extra);
    }
}

// Barred list [0, 1]: the main thrusters get fixed directions in the channel's list and the
// channel's ship is solved with it. [0, 1, 3]: the grid search starts with thruster 0.
// Fewer than two thrusters cannot go through the main-thruster procedure.
TEST(ResultChecking, MainThrustersAndMixedBarredLists) {
    const forceMom demand(60, 10, 20, 0);
    ChannelState main;
    main.ship = shipOf(
        {sternBarred(0, 1), sternBarred(1, -1), Thrusterobj(2, 5, 0, 0, 100, 0, 1.0, 0, 0, 3.2)});
    ChannelState mixed;
    mixed.ship = main.ship;
    ASSERT_EQ(main.ship.barredThrusters(), (std::vector<std::int32_t>{0, 1}));
    main.checker().processBarred(demand);
    EXPECT_TRUE(main.barredAngles[0] >= 0.0 && main.barredAngles[1] >= 0.0);
    EXPECT_EQ(main.barredAngles[2], kFree);
    EXPECT_EQ(main.problem.barredAngles, main.barredAngles);
    EXPECT_EQ(parts(main.generated), parts(main.ship.totalForce()));

    mixed.ship.addThruster(sternBarred(3, 0, 3));
    ASSERT_EQ(mixed.ship.barredThrusters(), (std::vector<std::int32_t>{0, 1, 3}));
    const double upper0 = mixed.ship.thruster(0).upperAngle();
    mixed.checker().processBarred(demand);
    EXPECT_NEAR(mixed.problem.barredAngles[0], upper0, 1e-9);
    EXPECT_EQ(mixed.problem.barredAngles[2], kFree);
    EXPECT_LT(getDiff(demand, mixed.generated), 0.01);

    ChannelState lone;
    lone.ship.addThruster(sternBarred(0, 0));
    EXPECT_EQ(failureText([&] { lone.checker().barMainThrusters(demand, lone.ship); }),
              "Error in Class:Shipobj Function:getThruster. Index out of bounds.");
}
