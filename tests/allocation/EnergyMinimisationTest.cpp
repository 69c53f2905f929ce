// The general minimiser against independent least-norm solutions and hand-worked cases:
// saturation, fixed directions with reverse penalty, component modes, bad records.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "AllocationTestSupport.h"
#include "allocation/EnergyMinimisation.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"

namespace {

using Arm = std::array<double, 2>;
constexpr double kTol = 1e-6;
constexpr double kBig = 1e4;  // a maximum no test force reaches
constexpr double kFree = -1.0;
const std::vector<Arm> kArms = {{30.0, 5.0}, {30.0, -5.0}, {-30.0, 8.0}, {-30.0, -8.0}};

Thrusterobj thrusterAt(Arm a, double maxForce = kBig, double penalty = 1.0) {
    return Thrusterobj(0, a[0], a[1], 0, maxForce, 0.0, penalty, 0.0, 0.0, 0.0);
}

// Loads the record and ship as the solve entry does; every thruster free unless angles say.
void load(allocProblem& problem, Shipobj& ship, const std::vector<Thrusterobj>& thrusters,
          forceMom demand, std::vector<double> angles = {}) {
    ship.clear();
    for (const Thrusterobj& t : thrusters)
        ship.addThruster(t);
    angles.resize(thrusters.size(), kFree);
    problem.demand = demand;
    problem.barredAngles = angles;
    problem.count = static_cast<int>(thrusters.size());
    problem.frozen.assign(thrusters.size(), 0);
}

std::vector<Thrusterobj> freeThrusters() {
    std::vector<Thrusterobj> out;
    for (const Arm& a : kArms)
        out.push_back(thrusterAt(a));
    return out;
}

// Solver-frame force of thruster i: the stored forceY is the negated sideways force.
void expectForce(const Shipobj& ship, unsigned i, Arm F) {
    EXPECT_NEAR(ship.thruster(i).forceX(), F[0], kTol) << "thruster " << i;
    EXPECT_NEAR(-ship.thruster(i).forceY(), F[1], kTol) << "thruster " << i;
}

void expectTotal(const Shipobj& ship, double fwd, double swd, double rot) {
    const forceMom total = ship.totalForce();
    EXPECT_NEAR(total.fwd, fwd, kTol);
    EXPECT_NEAR(total.swd, swd, kTol);
    EXPECT_NEAR(total.rot, rot, kTol);
}

}  // namespace

// A thruster whose share exceeds its maximum is frozen at the maximum (a maximum of 0 freezes
// at zero) and the others carry the remainder by least norm. (Free thrusters below their
// maxima are checked against the least-norm split in the minimiser property test.)
TEST(EnergyMinimisation, SaturationLeavesTheRestToLeastNorm) {
    allocProblem problem;
    Shipobj ship;
    std::vector<Thrusterobj> thrusters = freeThrusters();
    thrusters[0] = thrusterAt(kArms[0], 20.0);
    thrusters[3] = thrusterAt(kArms[3], 0.0);
    load(problem, ship, thrusters, forceMom(200.0, -120.0, 1500.0, 0.0));
    minimizeEnergy(problem, ship);
    EXPECT_EQ(problem.frozen, (std::vector<int>{1, 0, 0, 1}));
    EXPECT_NEAR(ship.thruster(0).force(), 20.0, 1e-9);
    EXPECT_EQ(ship.thruster(3).force(), 0.0);
    const double Fx0 = ship.thruster(0).forceX(), Fy0 = -ship.thruster(0).forceY();
    const auto rest = leastNorm({kArms[1], kArms[2]}, 200.0 - Fx0, -120.0 - Fy0,
                                1500.0 - (kArms[0][0] * Fy0 - kArms[0][1] * Fx0));
    expectForce(ship, 1, rest[0]);
    expectForce(ship, 2, rest[1]);
    expectTotal(ship, 200.0, -120.0, 1500.0);
}

// Fixed directions: a forward-carried thruster pushes only along its angle; a reversed push
// with penalty 0.5 produces half its command, so the unit-slope Newton passes reach
// -100 (1 - 2^-10) after their ten passes and -50 (1 - 2^-10) is produced; a thruster at a
// quarter turn is carried by its sideways variable.
TEST(EnergyMinimisation, FixedDirectionThrusters) {
    allocProblem problem;
    Shipobj ship;
    load(problem, ship,
         {thrusterAt({20.0, 4.0}), thrusterAt({-25.0, 3.0}), thrusterAt({-25.0, -3.0})},
         forceMom(150.0, 40.0, -600.0, 0.0), {0.6});
    minimizeEnergy(problem, ship);
    EXPECT_NEAR(-ship.thruster(0).forceY() / ship.thruster(0).forceX(), std::tan(0.6), 1e-12);
    expectTotal(ship, 150.0, 40.0, -600.0);

    load(problem, ship, {thrusterAt({0.0, 0.0}, kBig, 0.5)}, forceMom(-50.0, 0, 0, 1.0), {0.0});
    minimizeEnergy(problem, ship);
    EXPECT_NEAR(ship.thruster(0).forceX(), -50.0 * (1.0 - 1.0 / 1024.0), 1e-6);
    EXPECT_EQ(ship.thruster(0).forceY(), 0.0);

    for (const double quarter : {1.57079632679, 4.71238898037}) {
        load(problem, ship, {thrusterAt({0.0, 0.0})}, forceMom(0, 30.0, 0, 2.0), {quarter});
        minimizeEnergy(problem, ship);
        EXPECT_NEAR(-ship.thruster(0).forceY(), 30.0, kTol);
        EXPECT_NEAR(ship.thruster(0).forceX(), 30.0 / std::tan(quarter), 1e-12);
    }
}

// Each component mode enforces its components; an unenforced one stays at its start value
// (0 here). Values outside 1..6, NaN included, enforce all three. With thrusters already
// pushing, mode 3 meets the moment while the forces keep their start values; the start takes
// forceY as the solver's sideways force, so the kept sideways total is the sum of forceY.
TEST(EnergyMinimisation, ComponentModes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double extra;
        bool fwd, swd, rot;
    } cases[] = {{1.0, true, false, false}, {2.0, false, true, false}, {3.9, false, false, true},
                 {4.0, true, true, false},  {5.0, true, false, true},  {6.0, false, true, true},
                 {0.0, true, true, true},   {7.0, true, true, true},   {-2.0, true, true, true},
                 {1e300, true, true, true}, {nan, true, true, true},   {0.5, true, true, true}};
    allocProblem problem;
    Shipobj ship;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra);
        load(problem, ship, freeThrusters(), forceMom(100.0, -50.0, 200.0, c.extra));
        minimizeEnergy(problem, ship);
        expectTotal(ship, c.fwd ? 100.0 : 0.0, c.swd ? -50.0 : 0.0, c.rot ? 200.0 : 0.0);
    }

    std::vector<Thrusterobj> pushing;
    double fwd0 = 0.0, swd0 = 0.0;
    for (unsigned i = 0; i < kArms.size(); ++i) {
        pushing.emplace_back(0, kArms[i][0], kArms[i][1], 0, kBig, 40.0 + 10.0 * i, 1.0,
                             0.7 * i + 0.3, 0.0, 0.0);
        fwd0 += pushing.back().forceX();
        swd0 += pushing.back().forceY();
    }
    load(problem, ship, pushing, forceMom(0, 0, 800.0, 3.0));
    minimizeEnergy(problem, ship);
    expectTotal(ship, fwd0, swd0, 800.0);
}

// An empty record touches nothing; inconsistent records are refused before any change.
TEST(EnergyMinimisation, EmptyAndInconsistentRecords) {
    allocProblem problem;
    Shipobj ship;
    problem.frozen = {5};
    EXPECT_NO_THROW(minimizeEnergy(problem, ship));
    EXPECT_EQ(problem.frozen, std::vector<int>{5});

    load(problem, ship, freeThrusters(), forceMom());
    problem.count = 5;
    problem.barredAngles.push_back(kFree);
    problem.frozen.push_back(0);
    EXPECT_EQ(failureText([&] { minimizeEnergy(problem, ship); }),
              "Error in Class:Shipobj Function:getThruster. Index out of bounds.");
    problem.count = 4;
    problem.barredAngles.resize(3);
    EXPECT_EQ(failureText([&] { minimizeEnergy(problem, ship); }),
              "Error in Class:DoubleVector Function:operator[]. Index out of bounds.");
    problem.count = -1;
    EXPECT_THROW(minimizeEnergy(problem, ship), std::length_error);
}

// The building blocks at a hand-worked point: a free thruster at (2, 1) and a forward-carried
// one at angle pi/4 (tan 1) at (-3, 0.5) with penalty 0.5.
TEST(EnergyMinimisation, BuildingBlocksByHand) {
    allocProblem problem;
    Shipobj ship;
    load(problem, ship, {thrusterAt({2.0, 1.0}, 4.0), thrusterAt({-3.0, 0.5}, kBig, 0.5)},
         forceMom(1.0, 2.0, 3.0, 0.0), {kFree, std::atan(1.0)});
    // X = (Fx0, Fx1, Fy0, Fy1); thruster 0 (3, 4) is clipped to 4 in the residual.
    const DoubleVector X(std::vector<double>{3.0, 2.0, 4.0, 9.0});
    const DoubleVector g = energyGradient(problem, X);
    EXPECT_EQ(g(0), -6.0);
    EXPECT_NEAR(g(1), -8.0, 1e-12);  // -2 Fx / cos^2 = -4 / 0.5
    EXPECT_EQ(g(2), -8.0);
    EXPECT_EQ(g(3), 0.0);

    const Matrix A = constraintMatrix(problem, ship);
    const double expectedA[3][4] = {{1, 1, 0, 0}, {0, 1, 1, 0}, {-1, -3.5, 2, 0}};
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(A(k, j), expectedA[k][j], 1e-12) << k << "," << j;

    // Thruster 1: r = 2 / cos = 2 sqrt 2, ramp 0.5 + 0.5 r, Fx = Fy = ramp * 2.
    const double f = 0.5 + 0.5 * 2.0 * std::sqrt(2.0);
    const forceMom R = thrustResidual(problem, ship, X);
    EXPECT_NEAR(R.fwd, 3.0 * 0.8 + f * 2.0 - 1.0, 1e-12);
    EXPECT_NEAR(R.swd, 4.0 * 0.8 + f * 2.0 - 2.0, 1e-12);
    EXPECT_NEAR(R.rot, (2.0 * 3.2 - 1.0 * 2.4) + (-3.0 * f * 2.0 - 0.5 * f * 2.0) - 3.0, 1e-12);

    problem.frozen[0] = 1;
    EXPECT_EQ(energyGradient(problem, X)(0), 0.0);
    EXPECT_EQ(constraintMatrix(problem, ship)(2, 2), 0.0);
}
