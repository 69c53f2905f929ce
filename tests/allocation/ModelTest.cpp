// Ship and thruster model: angle helpers, clipping, rotation ranges and the ship total.
#include <gtest/gtest.h>

#include "AllocationTestSupport.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/angles.h"

namespace {

constexpr double kTight = 1e-12;

// A thruster with zero thrust whose direction is then set by a unit thrust along dir.
Thrusterobj pointing(signed char type, double startAngle, double maxRotation, double dir) {
    Thrusterobj t(0, 0.0, 0.0, type, 100.0, 0.0, 0.0, 0.0, startAngle, maxRotation);
    t.setForce(std::cos(dir), std::sin(dir));
    return t;
}

}  // namespace

// polarAngle's axis cases and quadrants; wrapMod on both signs, the modulus itself and m <= 0.
TEST(Angles, PolarAngleAndWrapMod) {
    EXPECT_EQ(polarAngle(0.0, 0.0), 1.57079632679);
    EXPECT_EQ(polarAngle(0.0, -1.0), 4.71238898037);
    EXPECT_EQ(polarAngle(-1.0, 0.0), 3.14159265358);
    EXPECT_EQ(polarAngle(1.0, -1.0), std::atan(-1.0) + 6.28318530717);
    EXPECT_NEAR(polarAngle(-1.0, -1.0), 1.25 * 3.14159265358, 1e-10);
    EXPECT_NEAR(polarAngle(1.0, 1.0), 0.25 * 3.14159265358, 1e-10);

    EXPECT_NEAR(wrapMod(-0.5, 6.28318530717), 5.78318530717, kTight);
    EXPECT_EQ(wrapMod(6.28318530717, 6.28318530717), 0.0);
    EXPECT_NEAR(wrapMod(7.0, 2.0), 1.0, kTight);
    EXPECT_NEAR(wrapMod(-7.0, 2.0), 1.0, kTight);
    EXPECT_EQ(wrapMod(3.0, 0.0), 0.0);
    EXPECT_EQ(wrapMod(3.0, -1.0), 0.0);
    EXPECT_EQ(wrapMod(std::nan(""), 2.0), 0.0);
}

// Clipping scales both components by one factor; zero thrust keeps the set angle as direction;
// the constructor turns a negative force around.
TEST(Thruster, ClippingAndDirection) {
    Thrusterobj t(3, 1.0, 2.0, 0, -10.0, 0.0, 0.5, 0.7, 0.0, 1.0);
    EXPECT_EQ(t.maxForce(), 10.0);
    EXPECT_EQ(t.direction(), 0.7);

    EXPECT_DOUBLE_EQ(t.setForce(30.0, 40.0), 0.2);
    EXPECT_DOUBLE_EQ(t.forceX(), 6.0);
    EXPECT_DOUBLE_EQ(t.forceY(), 8.0);
    EXPECT_DOUBLE_EQ(t.force(), 10.0);
    EXPECT_NEAR(t.direction(), std::atan2(8.0, 6.0), kTight);

    EXPECT_EQ(t.setForce(3.0, -4.0), 1.0);
    EXPECT_EQ(t.force(), 5.0);
    EXPECT_EQ(t.setForce(0.0, 0.0), 1.0);
    EXPECT_EQ(t.direction(), 0.7);
    EXPECT_EQ(t.effectiveAngle(), 0.7);

    Thrusterobj reversed(0, 0.0, 0.0, 0, 10.0, -2.0, 0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(reversed.forceX(), -2.0);
    EXPECT_NEAR(reversed.direction(), 3.14159265358, kTight);
}

// The range bounds, the accepted inputs of MaxRotation and its failure, which keeps the range.
TEST(Thruster, MaxRotationBoundsAndFailure) {
    const std::string bad =
        "Error in Class:Thrusterobj Function:MaxRotation. Incorrect input value.";
    Thrusterobj t(0, 0.0, 0.0, 2, 10.0, 0.0, 0.0, 0.0, 0.1, -0.2);
    EXPECT_EQ(t.maxRotation(), 0.2);
    EXPECT_NEAR(t.lowerAngle(), 6.18318530717, kTight);
    EXPECT_NEAR(t.upperAngle(), 0.3, kTight);

    for (double wrong : {-0.1, 6.2831854820251465 /* float 2pi */, std::nan("")})
        EXPECT_EQ(failureText([&] { t.MaxRotation(wrong); }), bad) << wrong;
    EXPECT_EQ(t.maxRotation(), 0.2);
    EXPECT_NEAR(t.lowerAngle(), 6.18318530717, kTight);
    EXPECT_NEAR(t.upperAngle(), 0.3, kTight);

    EXPECT_NO_THROW(t.MaxRotation(6.28318530717));
    for (double wrong : {7.0, -7.0})
        EXPECT_EQ(failureText([&] { Thrusterobj(0, 0, 0, 2, 1, 0, 0, 0, 0, wrong); }), bad);
}

// rangeStatus and canPointAlong on a plain range [1, 2], a range through 0 [6.18.., 0.3], a
// zero-width range at 1 and a range of half a turn.
TEST(Thruster, RangeMembership) {
    struct Case {
        double start, halfWidth, dir, tol;
        int status;
    };
    const Case cases[] = {
        {1.5, 0.5, 1.2, 0.0, 1},  {1.5, 0.5, 1.2 + kPi, 0.0, -1}, {1.5, 0.5, 0.5, 0.0, 0},
        {1.5, 0.5, 0.95, 0.1, 1}, {0.1, 0.2, 6.2, 0.0, 1},        {0.1, 0.2, 0.25, 0.0, 1},
        {0.1, 0.2, 3.2, 0.0, -1}, {0.1, 0.2, 1.5, 0.0, 0},        {1.0, 0.0, 2.5, 0.0, 1},
        {1.0, 0.0, 2.5, 0.01, 0}, {1.0, 0.0, 1.005, 0.01, 1},     {0.0, kPi, 2.0, -1.0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(pointing(2, c.start, c.halfWidth, c.dir).rangeStatus(c.tol), c.status)
            << c.start << " " << c.halfWidth << " " << c.dir << " " << c.tol;
    }
    const Thrusterobj plain = pointing(2, 1.5, 0.5, 0.0), wrapped = pointing(2, 0.1, 0.2, 0.0);
    EXPECT_TRUE(plain.canPointAlong(1.0) && plain.canPointAlong(1.9 + kPi));
    EXPECT_FALSE(plain.canPointAlong(0.5) || plain.canPointAlong(2.1));
    EXPECT_TRUE(wrapped.canPointAlong(6.2) && wrapped.canPointAlong(3.3));
    EXPECT_FALSE(wrapped.canPointAlong(1.5) || wrapped.canPointAlong(4.6));
    EXPECT_TRUE(pointing(2, 1.0, 0.0, 0.0).canPointAlong(2.5) &&
                pointing(2, 0.0, kPi, 0.0).canPointAlong(2.0));
}

// nearestLimit in both branches (also across 0) and each case of effectiveAngle.
TEST(Thruster, NearestLimitAndEffectiveAngle) {
    // Range [1.0, 2.0]: 0.5 is nearer the lower bound, 2.6 nearer the upper.
    EXPECT_NEAR(pointing(2, 1.5, 0.5, 0.5).nearestLimit(), 1.0, kTight);
    EXPECT_NEAR(pointing(2, 1.5, 0.5, 2.6).nearestLimit(), 2.0, kTight);
    // Range [0.2, 1.0]: 6.1 is plainly far from 1.0 yet nearest to 0.2 across 0.
    EXPECT_NEAR(pointing(2, 0.6, 0.4, 6.1).nearestLimit(), 0.2, kTight);
    // Range [5.0, 6.0]: 0.3 is nearest to 6.0 across 0.
    EXPECT_NEAR(pointing(2, 5.5, 0.5, 0.3).nearestLimit(), 6.0, kTight);

    EXPECT_EQ(pointing(1, 0.4, 0.1, 2.0).effectiveAngle(), 0.4);
    EXPECT_NEAR(pointing(2, 1.5, 0.5, 1.2).effectiveAngle(), 1.2, kTight);
    // Directions carry the truncated pi, hence the looser tolerance.
    EXPECT_NEAR(pointing(3, 1.5, 0.5, 4.5).effectiveAngle(), 4.5 - kPi, 1e-10);
    EXPECT_NEAR(pointing(2, 1.5, 0.5, 0.5).effectiveAngle(), 1.0, kTight);
}

// Index checks with their texts, the barred list, the limited-rotation flag and the sign rule
// of the total.
TEST(Ship, IndexingBarringAndTotal) {
    Shipobj ship;
    EXPECT_EQ(ship.count(), 0u);
    ship.addThruster(Thrusterobj(0, 2.0, 1.0, 0, 100.0, 0.0, 0.0, 0.0, 0.0, 0.0));
    EXPECT_FALSE(ship.hasLimitedRotation());
    ship.adjustforceThruster(0, 3.0, 4.0);
    const forceMom total = ship.totalForce();
    EXPECT_EQ(total.fwd, 3.0);
    EXPECT_EQ(total.swd, -4.0);
    EXPECT_EQ(total.rot, -11.0);  // 2 * (-4) - 1 * 3
    EXPECT_EQ(total.extra, 5.0);

    for (unsigned int wrong : {1u, static_cast<unsigned int>(-1)})
        EXPECT_EQ(failureText([&] { ship.getThruster(wrong); }),
                  "Error in Class:Shipobj Function:getThruster. Index out of bounds.");
    EXPECT_EQ(failureText([&] { ship.adjustforceThruster(1, 0.0, 0.0); }),
              "Error in Class:Shipobj Function:adjustforceThruster. Index out of bounds.");

    // Every thruster points at 0.5, outside the range [1.0, 2.0] and its opposite.
    for (signed char type : {0, 1, 2, 3, 4, 2}) {
        ship.addThruster(pointing(type, 1.5, 0.5, 0.5));
    }
    EXPECT_TRUE(ship.hasLimitedRotation());
    EXPECT_EQ(ship.barredThrusters(), (std::vector<std::int32_t>{3, 4, 6}));
    EXPECT_TRUE(ship.anyBarred());

    ship.clear();
    EXPECT_EQ(ship.count(), 0u);
    EXPECT_FALSE(ship.hasLimitedRotation() || ship.anyBarred());
}
