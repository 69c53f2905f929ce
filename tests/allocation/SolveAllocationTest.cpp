// The solve entry: loading of the work record and the choice between the two solvers.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "AllocationTestSupport.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Thruster 0 has a maximum of 0, so the general minimiser freezes it whenever the demand
// gives it a share; the two-thruster solution never touches the frozen flags. That makes
// the flag show which solver ran.
Shipobj twoThrusterShip() {
    return shipOf({Thrusterobj(0, -20.0, 4.0, 0, 0.0, 0.0, 1.0, 0.0, 0.0, 3.2),
                   Thrusterobj(1, -20.0, -4.0, 0, 500.0, 0.0, 1.0, 0.0, 0.0, 3.2)});
}

bool minimiserRan(const std::vector<double>& angles, double extra) {
    Shipobj ship = twoThrusterShip();
    allocProblem problem;
    problem.frozen = {1, 1, 1};  // stale flags from an earlier solve
    solveAllocation(angles, forceMom(30.0, 20.0, 100.0, extra), problem, ship);
    EXPECT_EQ(problem.count, 2);
    EXPECT_EQ(0, std::memcmp(problem.barredAngles.data(), angles.data(), 2 * sizeof(double)));
    EXPECT_EQ(0, std::memcmp(&problem.demand.extra, &extra, sizeof(double)));
    return problem.frozen.at(0) == 1;
}

}  // namespace

// The dispatch rule for two thrusters, case by case: c fixed angles (NaN counts as free)
// and the demand's extra value (NaN counts as at most 3).
TEST(SolveEntry, TwoThrusterDispatch) {
    const double fixedAngle = 0.5;
    // No fixed angle: the two-thruster solution only for extra exactly 0; one fixed angle: up to
    // extra 3.0; both fixed: always.
    EXPECT_FALSE(minimiserRan({-1.0, -1.0}, 0.0) || minimiserRan({kNaN, -1.0}, 0.0));
    EXPECT_TRUE(minimiserRan({-1.0, -1.0}, 2.0) && minimiserRan({-1.0, -1.0}, kNaN));
    EXPECT_FALSE(minimiserRan({fixedAngle, -1.0}, 3.0) || minimiserRan({-1.0, fixedAngle}, kNaN));
    EXPECT_TRUE(minimiserRan({fixedAngle, kNaN}, 4.0));
    EXPECT_FALSE(minimiserRan({fixedAngle, 0.0}, 6.0));
}

// Any other thruster count goes to the minimiser; an empty ship gives all zeros; the
// returned value carries the energy in extra. (That it is the ship's total, every part of
// it, the barring tests show on the totals the checker keeps.)
TEST(SolveEntry, OtherCountsUseMinimiser) {
    Shipobj ship;
    allocProblem problem;
    const forceMom none = solveAllocation({}, forceMom(10.0, 20.0, 30.0, 0.0), problem, ship);
    EXPECT_TRUE(none.fwd == 0.0 && none.swd == 0.0 && none.rot == 0.0 && none.extra == 0.0);

    ship.addThruster(Thrusterobj(0, 5.0, 0.0, 0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0));
    solveAllocation({-1.0}, forceMom(10.0, 0.0, 0.0, 0.0), problem, ship);
    EXPECT_EQ(problem.frozen, std::vector<int>{1});

    ship = twoThrusterShip();
    ship.addThruster(Thrusterobj(2, 20.0, 0.0, 0, 500.0, 0.0, 1.0, 0.0, 0.0, 3.2));
    const forceMom total =
        solveAllocation({0.5, 0.5, -1.0}, forceMom(30.0, 20.0, 100.0, 0.0), problem, ship);
    EXPECT_EQ(problem.frozen.at(0), 1);
    EXPECT_NEAR(total.extra, ship.thruster(1).force() + ship.thruster(2).force(), 1e-9);
}
