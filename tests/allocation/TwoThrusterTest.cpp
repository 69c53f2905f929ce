// Two-thruster allocation checked against independently computed least-norm splits and
// hand-worked direction-search cases.
#include <gtest/gtest.h>

#include <random>

#include "AllocationTestSupport.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/angles.h"
#include "allocation/solveTwoThrusters.h"

namespace {

using Forces = std::array<double, 4>;  // Fx0, Fx1, Fy0, Fy1

// The least-norm split in the two-thruster solution's frame, where forceY is the side force.
Forces pairLeastNorm(const Thrusterobj& t0, const Thrusterobj& t1, double F, double S, double R) {
    const auto f = ::leastNorm({{t0.posX(), t0.posY()}, {t1.posX(), t1.posY()}}, F, S, R);
    return {f[0][0], f[1][0], f[0][1], f[1][1]};
}

Forces solved(Shipobj& ship, double F, double S, double R) {
    allocProblem problem;
    problem.demand = forceMom(F, S, R, 0.0);
    problem.count = 2;
    solveTwoThrusters(problem, ship);
    const Thrusterobj &t0 = ship.thruster(0), &t1 = ship.thruster(1);
    return {t0.forceX(), t1.forceX(), t0.forceY(), t1.forceY()};
}

double norm(const Forces& f) {
    return std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2] + f[3] * f[3]);
}

// A thruster free to point anywhere, with ample force.
Thrusterobj freeAt(double x, double y) {
    return Thrusterobj(0, x, y, 0, 1e9, 0.0, 0.0, 0.0, 0.0, 0.0);
}

constexpr double kHuge = 1e9;

}  // namespace

// Both branches of the closed form (fore-aft pairs, side-by-side pairs, separations at the
// 0.01 threshold) give the least-norm split of the three equations.
TEST(TwoThrusters, ClosedFormIsLeastNorm) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> u(-20.0, 20.0);
    const std::pair<double, double> separations[] = {{5.0, 0.3},   {0.0, 4.0},   {0.01, 3.0},
                                                     {0.009, 3.0}, {12.0, -7.0}, {0.0, 0.01}};
    for (int trial = 0; trial < 300; ++trial) {
        const auto [dx, dy] = separations[trial % 6];
        // At the 0.01 thresholds thruster 0 sits at the origin so the separation is exact.
        const bool atThreshold = dx == 0.01 || dy == 0.01;
        const double x0 = atThreshold ? 0.0 : u(rng), y0 = atThreshold ? 0.0 : u(rng);
        const Thrusterobj t0 = freeAt(x0, y0), t1 = freeAt(x0 + dx, y0 + dy);
        const double F = u(rng) * 10, S = u(rng) * 10, R = u(rng) * 100;
        Shipobj ship = shipOf({t0, t1});
        const Forces got = solved(ship, F, S, R);
        const Forces want = pairLeastNorm(t0, t1, F, S, R);
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(got[k], want[k], 1e-8 * (1 + norm(want))) << "trial " << trial;
        }
    }
}

// When the closed form leaves a thruster out of range the search finds the least-norm split
// among the candidate directions of thruster 0; checked against a search built on a generic
// 3x3 solve per direction.
TEST(TwoThrusters, SearchFindsBestCandidate) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double step = 3.14159265358 * 0.05;
    int searched = 0;
    for (int trial = 0; trial < 400; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        const double a0 = 3.2 * (u(rng) + 1), r = 0.8 * (u(rng) + 1);
        const Thrusterobj t0(0, 10 * u(rng), 5 * u(rng), 2, kHuge, 0, 0, 0, a0, r);
        const Thrusterobj t1(0, 10 * u(rng), 5 * u(rng), 3, kHuge, 0, 0, 0, 3.2 * (u(rng) + 1),
                             0.6 * (u(rng) + 1));
        const double F = 50 * u(rng), S = 50 * u(rng), R = 200 * u(rng);

        Shipobj probe = shipOf({t0, t1});
        const Forces ln = pairLeastNorm(t0, t1, F, S, R);
        probe.adjustforceThruster(0, ln[0], ln[2]);
        probe.adjustforceThruster(1, ln[1], ln[3]);
        if (!probe.anyBarred())
            continue;
        ++searched;

        double best = -1;
        const int N = static_cast<int>(std::ceil(r / step));
        for (int k = 0; k < N; ++k) {
            const double d = k == N - 1 ? r : k * step;
            for (double a : {a0 + d, a0 - d}) {
                // Unknowns m (thruster 0 magnitude along a), Fx1, Fy1.
                const Vec3 x = solve3({Vec3{std::cos(a), 1, 0}, Vec3{std::sin(a), 0, 1},
                                       Vec3{t0.posX() * std::sin(a) - t0.posY() * std::cos(a),
                                            -t1.posY(), t1.posX()}},
                                      {F, S, R});
                const Forces f{x[0] * std::cos(a), x[1], x[0] * std::sin(a), x[2]};
                if (!std::isfinite(norm(f)) || !t1.canPointAlong(polarAngle(f[1], f[3])))
                    continue;
                if (best < 0 || norm(f) < best)
                    best = norm(f);
            }
        }
        Shipobj ship = shipOf({t0, t1});
        const Forces got = solved(ship, F, S, R);
        if (best < 0) {
            EXPECT_EQ(norm(got), 0.0);
            continue;
        }
        if (best > 1e6)
            continue;  // near-singular directions: too ill-conditioned to compare
        EXPECT_NEAR(norm(got), best, 1e-7 * best);
        EXPECT_NEAR(got[0] + got[1], F, 1e-9 * (1 + best));
        EXPECT_NEAR(got[2] + got[3], S, 1e-9 * (1 + best));
    }
    EXPECT_GT(searched, 100);
}

// Without a search range no candidate exists and both thrusters stop; thrusters closer than
// 0.01 skip the closed form (which would split 5/5) and let the search give all to thruster 1.
TEST(TwoThrusters, EmptySearchAndCoincidentThrusters) {
    const Thrusterobj fixed0(0, 0.0, 1.0, 0, kHuge, 0, 0, 0, 0.5, 0.0);
    const Thrusterobj limited1(1, 0.0, -1.0, 2, kHuge, 0, 0, 0, 0.5, 0.1);
    Shipobj ship = shipOf({fixed0, limited1});
    EXPECT_EQ(solved(ship, 10.0, 0.0, 0.0), (Forces{0, 0, 0, 0}));

    const Thrusterobj swivel0(0, 0.0, 0.0, 0, kHuge, 0, 0, 0, 0.3, 0.5);
    Shipobj close = shipOf({swivel0, freeAt(0.009, 0.0)});
    const Forces got = solved(close, 10.0, 0.0, 0.0);
    EXPECT_EQ(got, (Forces{0, 10.0, 0, 0}));

    Shipobj apart = shipOf({swivel0, freeAt(0.01, 0.0)});
    EXPECT_NEAR(solved(apart, 10.0, 0.0, 0.0)[0], 5.0, 1e-12);
}

// Reverse directions are tried only with a positive reverse penalty. With both thrusters on
// the centreline the forward direction 0 gives no candidate (no lever for the moment) and the
// other forward directions leave thruster 1 outside its narrow range, while the reverse
// direction pi (the truncated pi, so a tiny lever remains) fits with a very large force.
TEST(TwoThrusters, ReverseDirectionsNeedPenalty) {
    const double maxForce = 50.0;
    const Thrusterobj t1(1, -10.0, 0.0, 2, maxForce, 0, 0, 0, 0.0, 0.01);
    for (double penalty : {0.0, 1.0}) {
        const Thrusterobj t0(0, 0.0, 0.0, 0, maxForce, 0, penalty, 0, 0.0, 0.5);
        Shipobj ship = shipOf({t0, t1});
        solved(ship, 0.0, 0.0, 1.0);
        const double expected = penalty > 0 ? maxForce : 0.0;
        EXPECT_NEAR(ship.getThruster(0).force(), expected, 1e-9) << "penalty " << penalty;
        EXPECT_NEAR(ship.getThruster(1).force(), expected, 1e-9) << "penalty " << penalty;
    }
}
