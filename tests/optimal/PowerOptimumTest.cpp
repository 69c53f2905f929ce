// Power against a lower bound computed independently: the Lagrangian dual of the exact cost
// over the exact sets (discs, sectors, segments; no polygons), maximised per sector choice by
// damped Newton steps. Any multiplier bounds the optimum from below, so the allocator may not
// be below it, and must be within 0.5 % above it (its polygons' lost capacity included).
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "OptimalTestSupport.h"
#include "allocation/RequestVerdict.h"
#include "optimal/OptimalAllocator.h"

namespace {

using namespace optimal_test;
using Vec3 = Eigen::Vector3d;

struct DualRow {
    AttainableSet set;
    double reach = 0.0, eta = 1.0, armX = 0.0, armY = 0.0;  // scaled; eta: backwards, type 1
    int sector = 0;  // double sector: 0 around the start angle, 1 around its opposite
};

// min over r in [0, m] of (r / eta)^1.5 - s r: r = (s eta^1.5 / 1.5)^2, clipped.
double rayMinimum(double s, double eta, double m, double& r) {
    r = s <= 0.0 ? 0.0 : std::min(m, std::pow(s * std::pow(eta, 1.5) / 1.5, 2.0));
    return std::pow(r / eta, 1.5) - s * r;
}

// min over the row's set of power - lambda . thrust; `thrust` gets the minimiser's thrust.
double rowMinimum(const DualRow& r, const Vec3& lambda, Vec3& thrust) {
    const double vx = lambda(0) - lambda(2) * r.armY;  // d(lambda . thrust) / d(fx, fy)
    const double vy = -lambda(1) - lambda(2) * r.armX;
    double angle = std::atan2(vy, vx), s = std::hypot(vx, vy), eta = 1.0, f = 0.0;
    if (r.set.shape == AttainableSet::Shape::segment) {
        s = vx * std::cos(r.set.angle) + vy * std::sin(r.set.angle);
        angle = r.set.angle + (s >= 0.0 ? 0.0 : kTruePi);
        eta = s >= 0.0 ? 1.0 : r.eta;
        s = std::fabs(s);
    } else if (r.set.shape == AttainableSet::Shape::doubleSector) {
        const double centre = r.set.angle + r.sector * kTruePi;
        const double off = std::clamp(std::remainder(angle - centre, 2.0 * kTruePi),
                                      -r.set.halfWidth, r.set.halfWidth);
        s *= std::cos(angle - centre - off);
        angle = centre + off;
    }
    const double value = rayMinimum(s, eta, r.reach, f);
    const double fx = f * std::cos(angle), fy = f * std::sin(angle);
    thrust = Vec3(fx, -fy, -fy * r.armX - fx * r.armY);
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

// Newton steps on a difference Hessian with backtracking, else gradient steps.
double maximiseDual(const std::vector<DualRow>& rows, const Vec3& tau) {
    Vec3 lambda = Vec3::Zero(), g, gNew, gp, gm;
    double d = dual(rows, tau, lambda, g);
    for (int it = 0; it < 300 && g.norm() > 1e-13; ++it) {
        Eigen::Matrix3d H;
        for (int k = 0; k < 3; ++k) {
            const double h = 1e-7 * (1.0 + lambda.norm());
            dual(rows, tau, lambda + h * Vec3::Unit(k), gp);
            dual(rows, tau, lambda - h * Vec3::Unit(k), gm);
            H.col(k) = (gp - gm) / (2.0 * h);
        }
        const Eigen::Matrix3d M = -0.5 * (H + H.transpose()) + 1e-12 * Eigen::Matrix3d::Identity();
        bool improved = false;
        for (const Vec3& step : {Vec3(M.ldlt().solve(g)), g}) {
            for (double t = 1.0; t > 1e-12 && !improved; t *= 0.5) {
                const double dNew = dual(rows, tau, lambda + t * step, gNew);
                if (dNew > d) {
                    lambda += t * step, d = dNew, g = gNew, improved = true;
                }
            }
        }
        if (!improved) {
            break;
        }
    }
    return d;
}

// The least dual maximum over all sector choices, in N^1.5.
double powerLowerBound(const Shipobj& ship, const forceMom& demand) {
    double F = 1.0;
    for (const Thrusterobj& t : ship.thrusters()) {
        F = std::max(F, t.maxForce());
    }
    const double L = std::max(1.0, largestArm(ship));
    std::vector<DualRow> rows;
    std::vector<std::size_t> sectorRows;
    for (const Thrusterobj& t : ship.thrusters()) {
        const AttainableSet s = attainableSet(t);
        if (s.shape == AttainableSet::Shape::doubleSector) {
            sectorRows.push_back(rows.size());
        }
        rows.push_back({s, s.maxForce / F, t.reversePenalty(), s.posX / L, s.posY / L, 0});
    }
    const Vec3 tau(demand.fwd / F, demand.swd / F, demand.rot / (F * L));
    double best = HUGE_VAL;
    for (unsigned mask = 0; mask < (1u << sectorRows.size()); ++mask) {
        for (std::size_t j = 0; j < sectorRows.size(); ++j) {
            rows[sectorRows[j]].sector = static_cast<int>((mask >> j) & 1u);
        }
        best = std::min(best, maximiseDual(rows, tau));
    }
    return best * std::pow(F, 1.5);
}

// Demands built from known settings are feasible: met, within the maxima and ranges, at no
// more power than the setting, and within 0.5 % of the bound.
TEST(OptimalPower, KnownSettingsMetWithinHalfAPercentOfTheExactOptimum) {
    std::mt19937 rng(31);
    std::vector<double> excess;
    for (int c = 0; c < 300; ++c) {
        const Shipobj ship =
            c % 3 == 0 ? scenarioShip(kScenarios[c % 4]) : randomShip(rng, 2 + c % 9, c % 5);
        const Setting setting = randomSetting(rng, ship, 0.98);
        const forceMom demand = settingThrust(ship, setting);
        const optimal::OptimalAllocation a = optimal::OptimalAllocator().allocate(ship, demand);
        ASSERT_TRUE(a.met) << "case " << c;
        EXPECT_LE(a.power, settingPower(ship, setting) * (1.0 + 1e-6) + 1e-3);  // float cells
        for (std::size_t i = 0; i < a.rows.size(); ++i) {
            Thrusterobj t = ship.thruster(static_cast<unsigned>(i));
            EXPECT_LE(std::fabs(a.rows[i].force), t.maxForce());
            if (hasFixedDirection(t.type())) {
                EXPECT_EQ(a.rows[i].angle, static_cast<float>(t.startAngle()));
            } else if (a.rows[i].force != 0.0f) {
                // A direction a rounding error below a full turn is written as 0 (whose side of
                // 0 it ends on is the last bit of a solve), never as the float above 2pi.
                EXPECT_LT(a.rows[i].angle, 2.0 * kTruePi) << "case " << c << " row " << i;
            }
            if (hasRotationLimit(t.type()) && a.rows[i].force != 0.0f) {
                t.setForce(std::cos(a.rows[i].angle), std::sin(a.rows[i].angle));
                EXPECT_EQ(t.rangeStatus(1e-6), kInRange) << "case " << c << " row " << i;
            }
        }
        const double bound = powerLowerBound(ship, demand);
        EXPECT_GE(a.power, bound * (1.0 - 1e-6)) << "case " << c;  // float cells round
        EXPECT_LE(a.power, bound * 1.005) << "case " << c;
        excess.push_back(a.power / bound - 1.0);
    }
    std::sort(excess.begin(), excess.end());
    std::cout << "power over the dual bound: median " << 100.0 * excess[excess.size() / 2]
              << " %, max " << 100.0 * excess.back() << " %\n";
}

}  // namespace
