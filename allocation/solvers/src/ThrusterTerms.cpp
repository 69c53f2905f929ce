// The minimiser's per-thruster terms.
#include "ThrusterTerms.h"

#include <cmath>

#include "allocation/ThrustFrame.h"
#include "allocation/Thrusterobj.h"

DirectionTerms directionTerms(double v) {
    DirectionTerms d;
    if (v >= 0.0) {  // negative and NaN angles leave the thruster free
        d.cosv = std::cos(v);
        d.sinv = std::sin(v);
        d.tanv = std::tan(v);
        d.kind = std::fabs(d.cosv) >= kCarryLimit ? ThrusterKind::forwardCarried
                                                  : ThrusterKind::sidewaysCarried;
    }
    return d;
}

void fillTerms(const allocProblem& problem, int n, DirectionTerms* terms) {
    for (int i = 0; i < n; ++i) {
        terms[i] = directionTerms(problem.barredAngles[i]);
    }
}

double rampOpen(double r, double p) {
    return r < 0.0 ? p : p + (1.0 - p) * r;
}

double rampLimited(double r, double p) {
    if (r < 0.0) {
        return p;
    }
    return r < 1.0 ? p + (1.0 - p) * r : 1.0;
}

int componentMode(double extra) {
    return extra >= 1.0 && extra < 7.0 ? static_cast<int>(extra) : 0;
}

void gradient(const allocProblem& problem, const DirectionTerms* terms, int n, const double* X,
              double* g) {
    for (int i = 0; i < n; ++i) {
        const DirectionTerms& d = terms[i];
        if (problem.frozen[i] != 0) {
            g[i] = 0.0;
            g[n + i] = 0.0;
            continue;
        }
        switch (d.kind) {
            case ThrusterKind::free:
                g[i] = -2.0 * X[i];
                g[n + i] = -2.0 * X[n + i];
                break;
            case ThrusterKind::forwardCarried:
                g[i] = -2.0 * X[i] / (d.cosv * d.cosv);
                g[n + i] = 0.0;
                break;
            case ThrusterKind::sidewaysCarried:
                g[i] = 0.0;
                g[n + i] = -2.0 * X[n + i] / (d.sinv * d.sinv);
                break;
        }
    }
}

void constraintColumns(const DirectionTerms& d, bool frozen, double x, double y, double* ci,
                       double* cn) {
    for (int k = 0; k < 3; ++k) {
        ci[k] = 0.0;
        cn[k] = 0.0;
    }
    if (frozen) {
        return;
    }
    switch (d.kind) {
        case ThrusterKind::free:
            ci[0] = 1.0;
            ci[2] = -y;
            cn[1] = 1.0;
            cn[2] = x;
            break;
        case ThrusterKind::forwardCarried:
            ci[0] = 1.0;
            ci[1] = d.tanv;
            ci[2] = x * d.tanv - y;
            break;
        case ThrusterKind::sidewaysCarried:
            cn[0] = 1.0 / d.tanv;
            cn[1] = 1.0;
            cn[2] = x - y / d.tanv;
            break;
    }
}

forceMom residual(const allocProblem& problem, const Shipobj& ship, const DirectionTerms* terms,
                  int n, const double* X) {
    double sumFx = 0.0;
    double sumFy = 0.0;
    double sumMz = 0.0;
    for (int i = 0; i < n; ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        const DirectionTerms& d = terms[i];
        double Fx = 0.0;
        double Fy = 0.0;
        switch (d.kind) {
            case ThrusterKind::free: {
                Fx = X[i];
                Fy = X[n + i];
                const double F = std::sqrt(Fx * Fx + Fy * Fy);
                if (F > t.maxForce()) {
                    const double scale = t.maxForce() / F;
                    Fx = Fx * scale;
                    Fy = Fy * scale;
                }
                break;
            }
            case ThrusterKind::forwardCarried: {
                const double f = rampOpen(X[i] / d.cosv, t.reversePenalty());
                Fx = f * X[i];
                Fy = f * X[i] * d.tanv;
                break;
            }
            case ThrusterKind::sidewaysCarried: {
                const double f = rampOpen(X[n + i] / d.sinv, t.reversePenalty());
                Fy = f * X[n + i];
                Fx = f * X[n + i] / d.tanv;
                break;
            }
        }
        const forceMom thrust = storedFrameThrust(Fx, Fy, t.posX(), t.posY());
        sumFx += thrust.fwd;
        sumFy += thrust.swd;
        sumMz += thrust.rot;
    }
    const forceMom& demand = problem.demand;
    const int mode = componentMode(demand.extra);
    // A zero residual asks the step to keep that component where it is.
    const bool fwd = mode != 2 && mode != 3 && mode != 6;
    const bool swd = mode != 1 && mode != 3 && mode != 5;
    const bool rot = mode != 1 && mode != 2 && mode != 4;
    return forceMom(fwd ? sumFx - demand.fwd : 0.0, swd ? sumFy - demand.swd : 0.0,
                    rot ? sumMz - demand.rot : 0.0, 0.0);
}

double magnitude(const DirectionTerms& d, int i, int n, const double* X) {
    switch (d.kind) {
        case ThrusterKind::forwardCarried:
            return std::fabs(X[i] / d.cosv);
        case ThrusterKind::sidewaysCarried:
            return std::fabs(X[n + i] / d.sinv);
        case ThrusterKind::free:
            break;
    }
    return std::sqrt(X[i] * X[i] + X[n + i] * X[n + i]);
}
