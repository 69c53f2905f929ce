// The power of the allocator's answer against a lower bound computed independently: the
// Lagrangian dual of the exact-cost problem over the exact attainable sets (discs, sectors,
// segments, no polygons), maximised per sector choice by a damped Newton ascent. Any
// multiplier gives a bound below the optimum, so the allocator may never be below it, and it
// must be within 0.5 % above it (which includes its polygons' lost capacity).
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <random>

#include "OptimalTestSupport.h"
#include "allocation/RequestVerdict.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal_test;
using Vec3 = Eigen::Vector3d;

struct DualRow {
    AttainableSet set;
    double reach = 0.0;       // scaled
    double reverseEta = 1.0;  // fixed direction pushing backwards
    double armX = 0.0, armY = 0.0;
    int sector = 0;  // double sector: 0 the start angle's side, 1 the opposite
};

// Thrust (fwd, swd, rot / arm) of a scaled stored-frame force.
Vec3 rowThrust(const DualRow& r, double fx, double fy) {
    return Vec3(fx, -fy, -fy * r.armX - fx * r.armY);
}

// min over the row's set of g(f) - v.f for g = (r / eta)^1.5 along a ray where the ray's
// reach is m: the best magnitude is (s eta^1.5 / 1.5)^2, clipped.
double rayMinimum(double s, double eta, double m, double& r) {
    if (s <= 0.0) {
        r = 0.0;
        return 0.0;
    }
    r = std::min(m, std::pow(s * std::pow(eta, 1.5) / 1.5, 2.0));
    return std::pow(r / eta, 1.5) - s * r;
}

double rowMinimum(const DualRow& r, const Vec3& lambda, Vec3& thrust) {
    // v: the gradient of lambda . thrust with respect to the stored-frame force.
    const double vx = lambda(0) - lambda(2) * r.armY;
    const double vy = -lambda(1) - lambda(2) * r.armX;
    double magnitude = 0.0;
    double angle = std::atan2(vy, vx);
    double value = 0.0;
    const double norm = std::hypot(vx, vy);
    switch (r.set.shape) {
        case AttainableSet::Shape::disc:
            value = rayMinimum(norm, 1.0, r.reach, magnitude);
            break;
        case AttainableSet::Shape::segment: {
            const double s = vx * std::cos(r.set.angle) + vy * std::sin(r.set.angle);
            value = rayMinimum(std::fabs(s), s >= 0.0 ? 1.0 : r.reverseEta, r.reach, magnitude);
            angle = r.set.angle + (s >= 0.0 ? 0.0 : kTruePi);
            break;
        }
        case AttainableSet::Shape::doubleSector: {
            const double centre = r.set.angle + (r.sector == 1 ? kTruePi : 0.0);
            double off = std::remainder(angle - centre, 2.0 * kTruePi);
            off = std::clamp(off, -r.set.halfWidth, r.set.halfWidth);
            const double s = norm * std::cos(std::remainder(angle - centre - off, 2.0 * kTruePi));
            angle = centre + off;
            value = rayMinimum(s, 1.0, r.reach, magnitude);
            break;
        }
    }
    thrust = rowThrust(r, magnitude * std::cos(angle), magnitude * std::sin(angle));
    return value;
}

double dual(const std::vector<DualRow>& rows, const Vec3& tau, const Vec3& lambda, Vec3& gradient) {
    double d = lambda.dot(tau);
    gradient = tau;
    for (const DualRow& r : rows) {
        Vec3 thrust;
        d += rowMinimum(r, lambda, thrust);
        gradient -= thrust;
    }
    return d;
}

// The dual's maximum, by Newton steps on a difference Hessian with backtracking, falling
// back to the gradient.
double maximiseDual(const std::vector<DualRow>& rows, const Vec3& tau) {
    Vec3 lambda = Vec3::Zero();
    Vec3 g;
    double d = dual(rows, tau, lambda, g);
    for (int it = 0; it < 300 && g.norm() > 1e-13; ++it) {
        Eigen::Matrix3d H;
        for (int k = 0; k < 3; ++k) {
            const double h = 1e-7 * (1.0 + lambda.norm());
            Vec3 gp, gm;
            dual(rows, tau, lambda + h * Vec3::Unit(k), gp);
            dual(rows, tau, lambda - h * Vec3::Unit(k), gm);
            H.col(k) = (gp - gm) / (2.0 * h);
        }
        const Eigen::Matrix3d M = -0.5 * (H + H.transpose()) + 1e-12 * Eigen::Matrix3d::Identity();
        bool improved = false;
        for (const Vec3& direction : {Vec3(M.ldlt().solve(g)), g}) {
            for (double t = 1.0; t > 1e-12 && !improved; t *= 0.5) {
                Vec3 gNew;
                const double dNew = dual(rows, tau, lambda + t * direction, gNew);
                if (dNew > d) {
                    lambda += t * direction;
                    d = dNew;
                    g = gNew;
                    improved = true;
                }
            }
            if (improved) {
                break;
            }
        }
        if (!improved) {
            break;
        }
    }
    return d;
}

// The least dual maximum over all sector choices: a lower bound on the least power.
double powerLowerBound(const Shipobj& ship, const forceMom& demand, double F, double L) {
    std::vector<DualRow> rows;
    std::vector<std::size_t> sectorRows;
    for (const Thrusterobj& t : ship.thrusters()) {
        DualRow r;
        r.set = attainableSet(t);
        r.reach = r.set.maxForce / F;
        r.reverseEta = t.reversePenalty();
        r.armX = r.set.posX / L;
        r.armY = r.set.posY / L;
        if (r.set.shape == AttainableSet::Shape::doubleSector) {
            sectorRows.push_back(rows.size());
        }
        rows.push_back(r);
    }
    const Vec3 tau(demand.fwd / F, demand.swd / F, demand.rot / (F * L));
    double best = std::numeric_limits<double>::infinity();
    for (unsigned mask = 0; mask < (1u << sectorRows.size()); ++mask) {
        for (std::size_t j = 0; j < sectorRows.size(); ++j) {
            rows[sectorRows[j]].sector = static_cast<int>((mask >> j) & 1u);
        }
        best = std::min(best, maximiseDual(rows, tau));
    }
    return best * std::pow(F, 1.5);
}

TEST(OptimalPower, WithinHalfAPercentOfTheExactOptimum) {
    std::mt19937 rng(31);
    std::vector<double> excess;
    for (int c = 0; c < 240; ++c) {
        const Shipobj ship = c % 3 == 0 ? scenarioShip(scenarioFiles()[c % scenarioFiles().size()])
                                        : randomShip(rng, 3 + c % 6, c % 4);
        std::vector<std::array<double, 2>> setting;
        for (const Thrusterobj& t : ship.thrusters()) {
            setting.push_back(randomReachableForce(rng, t, 0.9));
        }
        const forceMom demand = settingThrust(ship, setting);
        optimal::OptimalAllocator allocator;
        const optimal::OptimalAllocation a = allocator.allocate(ship, demand);
        ASSERT_TRUE(a.met);
        double F = 1.0;
        for (const Thrusterobj& t : ship.thrusters()) {
            F = std::max(F, t.maxForce());
        }
        const double bound = powerLowerBound(ship, demand, F, std::max(1.0, largestArm(ship)));
        ASSERT_GT(bound, 0.0);
        // Below the bound only by the float rounding of the written cells.
        EXPECT_GE(a.power, bound * (1.0 - 1e-6)) << "case " << c;
        EXPECT_LE(a.power, bound * 1.005) << "case " << c;
        excess.push_back(a.power / bound - 1.0);
    }
    std::sort(excess.begin(), excess.end());
    std::cout << "power over the dual bound: median " << 100.0 * excess[excess.size() / 2]
              << " %, max " << 100.0 * excess.back() << " %\n";
}

}  // namespace
