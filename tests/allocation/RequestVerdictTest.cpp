// The verdict on a thrust against its demand, with bounds worked by hand: the force scale F is
// the larger of the demanded force, the demanded moment over the arm, and 1 N; each
// component may miss by 1 % of F (of F times the arm for the moment).
#include <gtest/gtest.h>

#include <limits>

#include "allocation/RequestVerdict.h"

namespace {

constexpr double kArm = 10.0;

bool met(const forceMom& demand, const forceMom& thrust) {
    return judgeThrust(demand, thrust, kArm).met;
}

// Demand (300, 400, 0): F = 500, so 5 N per force and 50 N m for the moment.
TEST(RequestVerdict, BoundsFromTheDemandedForce) {
    const forceMom demand(300, 400, 0, 0);
    EXPECT_EQ(judgeThrust(demand, demand, kArm).scale, 500.0);
    EXPECT_TRUE(met(demand, forceMom(295.1, 400, 0, 0)));
    EXPECT_FALSE(met(demand, forceMom(294.9, 400, 0, 0)));
    EXPECT_TRUE(met(demand, forceMom(300, 404.9, 0, 0)));
    EXPECT_FALSE(met(demand, forceMom(300, 405.1, 0, 0)));
    EXPECT_TRUE(met(demand, forceMom(300, 400, -49, 0)));
    EXPECT_FALSE(met(demand, forceMom(300, 400, 51, 0)));
    const RequestVerdict missed = judgeThrust(demand, forceMom(290, 410, 20, 0), kArm);
    EXPECT_EQ(missed.shortfall.fwd, 10.0);
    EXPECT_EQ(missed.shortfall.swd, -10.0);
    EXPECT_EQ(missed.shortfall.rot, -20.0);
    EXPECT_EQ(missed.missed, (std::array<bool, 3>{true, true, false}));
}

// A pure moment of 20 kN m at a 10 m arm: F = 2000 N, so 20 N per force and 200 N m; no
// demand at all: F = 1 N, so 0.01 N per force. A component under 0.01, which the channel
// allocates as +0.01, may differ by that raise more: 0.03 N for a demanded -0.01 + 1e-9.
TEST(RequestVerdict, BoundsFromTheMomentAndTheOneNewtonFloor) {
    const forceMom yaw(0, 0, 20000, 0);
    EXPECT_TRUE(met(yaw, forceMom(0, 0, 19801, 0)));
    EXPECT_FALSE(met(yaw, forceMom(0, 0, 19799, 0)));
    EXPECT_TRUE(met(yaw, forceMom(19, -19, 20000, 0)));
    EXPECT_FALSE(met(yaw, forceMom(21, 0, 20000, 0)));
    const forceMom none(0, 0, 0, 0);
    EXPECT_TRUE(met(none, forceMom(0.0101, 0.0101, 0.0101, 0)));
    EXPECT_FALSE(met(none, forceMom(0.0201, 0, 0, 0)));
    EXPECT_TRUE(met(forceMom(-0.01 + 1e-9, 0, 0, 0), forceMom(0.0199, 0, 0, 0)));
    EXPECT_FALSE(met(forceMom(-0.01 + 1e-9, 0, 0, 0), forceMom(0.0201, 0, 0, 0)));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(met(yaw, forceMom(0, 0, nan, 0)));
}

// Opposite signs are flagged only on components of at least 10 % of F (F times the arm for
// the moment): here F = 500, so 50 N and 500 N m.
TEST(RequestVerdict, OppositeSignsOfSignificantComponents) {
    const RequestVerdict small =
        judgeThrust(forceMom(500, 49, 499, 0), forceMom(500, -1, -1, 0), kArm);
    EXPECT_FALSE(small.opposite[1]);
    EXPECT_FALSE(small.opposite[2]);
    const RequestVerdict large =
        judgeThrust(forceMom(-500, 51, 600, 0), forceMom(1, -1, -1, 0), kArm);
    EXPECT_TRUE(large.opposite[0]);
    EXPECT_TRUE(large.opposite[1]);
    EXPECT_TRUE(large.opposite[2]);
}

}  // namespace
