// Two-thruster allocation: closed-form least-norm split, with a direction search over the
// first thruster's rotation range as fallback.
#include <cmath>

#include "allocation/angles.h"
#include "allocation/solveTwoThrusters.h"

namespace {

// Below this distance in both coordinates the thrusters count as one place.
constexpr double kMinSeparation = 0.01;
// Direction search step, and the modulus the search wraps with: one unit in the last
// decimal short of kTwoPi, a constant of its own.
constexpr double kSearchStep = kPi * 0.05;
constexpr double kSearchWrap = 6.28318530716;
// ceil(2pi / kSearchStep) is 41; anything above is impossible for a valid range.
constexpr int kMaxSearchSteps = 64;

// Component order: thruster 0 forward, thruster 1 forward, thruster 0 side, thruster 1 side.
struct Split {
    double Fx0 = 0.0;
    double Fx1 = 0.0;
    double Fy0 = 0.0;
    double Fy1 = 0.0;
};

void writeSplit(Shipobj& ship, const Split& s) {
    ship.adjustforceThruster(0, s.Fx0, s.Fy0);
    ship.adjustforceThruster(1, s.Fx1, s.Fy1);
}

int searchSteps(double r) {
    const double steps = std::ceil(r / kSearchStep);
    if (!(steps > 0.0)) {
        return 0;  // also NaN
    }
    return steps > kMaxSearchSteps ? kMaxSearchSteps : static_cast<int>(steps);
}

}  // namespace

void solveTwoThrusters(allocProblem& problem, Shipobj& ship) {
    const Thrusterobj t0 = ship.getThruster(0);
    const Thrusterobj t1 = ship.getThruster(1);
    const double F = problem.demand.fwd;
    const double S = problem.demand.swd;
    const double R = problem.demand.rot;

    // Closed form: minimise Fx0^2 + Fx1^2 + Fy0^2 + Fy1^2 subject to Fx0 + Fx1 = F,
    // Fy0 + Fy1 = S and ex*Fy1 + ey*Fx1 = w, where w is the demanded moment about thruster 0.
    const double ex = t1.posX() - t0.posX();
    const double ey = t0.posY() - t1.posY();
    const double w = R + t0.posY() * F - t0.posX() * S;
    if (!(std::fabs(ey) < kMinSeparation && std::fabs(ex) < kMinSeparation)) {
        Split s;
        if (std::fabs(ex) >= kMinSeparation) {
            // k = ey/ex; Fx1 = (2F - 2k*S + 4k*w/ex) / (4 + 4k^2); Fy1 = w/ex - k*Fx1
            const double k = ey / ex;
            s.Fx1 = (2 * F - 2 * k * S + 4 * k * w / ex) / (4 + 4 * (k * k));
            s.Fy1 = w / ex - k * s.Fx1;
        } else {
            // q = ex/ey; Fy1 = (2S - 2q*F + 4q*w/ey) / (4 + 4q^2); Fx1 = w/ey - q*Fy1
            const double q = ex / ey;
            s.Fy1 = (2 * S - 2 * q * F + 4 * q * w / ey) / (4 + 4 * (q * q));
            s.Fx1 = w / ey - q * s.Fy1;
        }
        s.Fx0 = F - s.Fx1;
        s.Fy0 = S - s.Fy1;
        writeSplit(ship, s);
        if (!ship.anyBarred()) {
            return;
        }
    }

    // Direction search: thruster 0 pushes along a with signed magnitude m, thruster 1 takes
    // the rest of the forward and side demand, and the moment about thruster 1 fixes m.
    const double a0 = t0.startAngle();
    const double r = t0.maxRotation();
    const int N = searchSteps(r);
    const bool tryReverse = t0.reversePenalty() > 0.0;
    const double dy = t1.posY() - t0.posY();
    const double dx = t1.posX() - t0.posX();
    const double momentAbout1 = R + t1.posY() * F - t1.posX() * S;

    bool found = false;
    double bestEnergy = 0.0;
    Split best;
    auto tryDirection = [&](double a) {
        const double c = std::cos(a);
        const double sn = std::sin(a);
        const double D = dy * c - dx * sn;
        if (D == 0.0) {
            return;
        }
        const double m = momentAbout1 / D;
        Split s;
        s.Fx0 = m * c;
        s.Fy0 = m * sn;
        s.Fx1 = F - s.Fx0;
        s.Fy1 = S - s.Fy0;
        if (!t1.canPointAlong(polarAngle(s.Fx1, s.Fy1))) {
            return;
        }
        const double energy =
            std::sqrt(s.Fx0 * s.Fx0 + s.Fx1 * s.Fx1 + s.Fy0 * s.Fy0 + s.Fy1 * s.Fy1);
        // Strictly smaller only: on equal energy the earlier candidate stays.
        if (!found || energy < bestEnergy) {
            found = true;
            bestEnergy = energy;
            best = s;
        }
    };
    for (int k = 0; k < N; ++k) {
        // The last step lands exactly on the range bound.
        const double d = k == N - 1 ? r : k * kSearchStep;
        tryDirection(wrapMod(a0 + d, kSearchWrap));
        tryDirection(wrapMod(a0 - d, kSearchWrap));
        if (tryReverse) {
            tryDirection(wrapMod(a0 + d + kPi, kSearchWrap));
            tryDirection(wrapMod(a0 - d + kPi, kSearchWrap));
        }
    }

    writeSplit(ship, found ? best : Split{});
}
