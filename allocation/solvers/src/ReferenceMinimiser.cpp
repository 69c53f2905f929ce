// The energy minimiser written out step by step on DoubleVector, Matrix and Funcs::conjgrad:
// the energy matrix H, the constraint matrix A, K = [[H, -At], [A, 0]], the Newton passes on
// Kt K, and the freeze loop, each as one whole-matrix operation. Slow, and easy to read
// against the fast minimiser, which must give the same bits.
#include "allocation/ReferenceMinimiser.h"

#include <cmath>
#include <vector>

#include "allocation/ThrustFrame.h"
#include "allocation/Thrusterobj.h"
#include "mathlib/DoubleVector.h"
#include "mathlib/FixedTextError.h"
#include "mathlib/Funcs.h"
#include "mathlib/Matrix.h"

namespace {

bool fixedAngle(const allocProblem& pr, int i) {
    return pr.barredAngles[i] >= 0.0;
}
bool forwardCarried(const allocProblem& pr, int i) {
    return fixedAngle(pr, i) && std::fabs(std::cos(pr.barredAngles[i])) >= 0.01;
}
bool sidewaysCarried(const allocProblem& pr, int i) {
    return fixedAngle(pr, i) && std::fabs(std::cos(pr.barredAngles[i])) < 0.01;
}

double ramp(double r, double p, bool limited) {
    if (r < 0.0) {
        return p;
    }
    if (limited && r >= 1.0) {
        return 1.0;
    }
    return p + (1.0 - p) * r;
}

DoubleVector gradient(const allocProblem& pr, const DoubleVector& X) {
    const int n = pr.count;
    DoubleVector g(2 * n, 0.0);
    for (int i = 0; i < n; ++i) {
        const double v = pr.barredAngles[i];
        if (pr.frozen[i] == 1) {
            continue;
        }
        if (forwardCarried(pr, i)) {
            g(i) = -2.0 * X(i) / (std::cos(v) * std::cos(v));
        } else if (sidewaysCarried(pr, i)) {
            g(n + i) = -2.0 * X(n + i) / (std::sin(v) * std::sin(v));
        } else {
            g(i) = -2.0 * X(i);
            g(n + i) = -2.0 * X(n + i);
        }
    }
    return g;
}

Matrix constraints(const allocProblem& pr, const Shipobj& ship) {
    const int n = pr.count;
    Matrix A(3, 2 * n);
    for (int i = 0; i < n; ++i) {
        const double v = pr.barredAngles[i];
        const double x = ship.getThruster(i).posX();
        const double y = ship.getThruster(i).posY();
        if (pr.frozen[i] == 1) {
            continue;
        }
        if (forwardCarried(pr, i)) {
            A.setEl(0, i, 1.0);
            A.setEl(1, i, std::tan(v));
            A.setEl(2, i, x * std::tan(v) - y);
        } else if (sidewaysCarried(pr, i)) {
            A.setEl(0, n + i, 1.0 / std::tan(v));
            A.setEl(1, n + i, 1.0);
            A.setEl(2, n + i, x - y / std::tan(v));
        } else {
            A.setEl(0, i, 1.0);
            A.setEl(2, i, -y);
            A.setEl(1, n + i, 1.0);
            A.setEl(2, n + i, x);
        }
    }
    return A;
}

forceMom residual(const allocProblem& pr, const Shipobj& ship, const DoubleVector& X) {
    const int n = pr.count;
    double fx = 0.0;
    double fy = 0.0;
    double mz = 0.0;
    for (int i = 0; i < n; ++i) {
        const Thrusterobj t = ship.getThruster(i);
        const double v = pr.barredAngles[i];
        double Fx = X(i);
        double Fy = X(n + i);
        if (forwardCarried(pr, i)) {
            const double f = ramp(X(i) / std::cos(v), t.reversePenalty(), false);
            Fx = f * X(i);
            Fy = f * X(i) * std::tan(v);
        } else if (sidewaysCarried(pr, i)) {
            const double f = ramp(X(n + i) / std::sin(v), t.reversePenalty(), false);
            Fy = f * X(n + i);
            Fx = f * X(n + i) / std::tan(v);
        } else {
            const double F = std::sqrt(Fx * Fx + Fy * Fy);
            if (F > t.maxForce()) {
                const double scale = t.maxForce() / F;
                Fx = Fx * scale;
                Fy = Fy * scale;
            }
        }
        const forceMom thrust = storedFrameThrust(Fx, Fy, t.posX(), t.posY());
        fx += thrust.fwd;
        fy += thrust.swd;
        mz += thrust.rot;
    }
    forceMom R(fx - pr.demand.fwd, fy - pr.demand.swd, mz - pr.demand.rot, 0.0);
    const double e = pr.demand.extra;
    const int mode = e >= 1.0 && e < 7.0 ? static_cast<int>(e) : 0;
    if (mode == 2 || mode == 3 || mode == 6) {
        R.fwd = 0.0;
    }
    if (mode == 1 || mode == 3 || mode == 5) {
        R.swd = 0.0;
    }
    if (mode == 1 || mode == 2 || mode == 4) {
        R.rot = 0.0;
    }
    return R;
}

}  // namespace

void minimizeEnergyReference(allocProblem& pr, Shipobj& ship) {
    const int n = pr.count;
    if (pr.barredAngles.size() < static_cast<std::size_t>(n) ||
        pr.frozen.size() < static_cast<std::size_t>(n)) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator[]. Index out of bounds.");
    }
    if (n == 0) {
        return;
    }
    const int N = 2 * n + 3;
    DoubleVector X(2 * n, 0.0);
    for (int i = 0; i < n; ++i) {
        X(i) = ship.getThruster(i).forceX();
        X(n + i) = ship.getThruster(i).forceY();
    }
    Matrix H(2 * n, 2.0);
    for (int i = 0; i < n; ++i) {
        const double v = pr.barredAngles[i];
        if (v >= 0.0) {
            H.setEl(i, i, std::fabs(std::cos(v)) >= 0.01 ? 2.0 / (std::cos(v) * std::cos(v)) : 0.0);
            H.setEl(n + i, n + i,
                    std::fabs(std::sin(v)) >= 0.01 ? 2.0 / (std::sin(v) * std::sin(v)) : 0.0);
        }
    }
    const Matrix A = constraints(pr, ship);
    Matrix K = Matrix::blockMatrix(H, A.transpose() * -1.0, A);
    Matrix Kt = K.transpose();
    DoubleVector P(N, 0.0);
    for (;;) {
        const Matrix M = Kt * K;
        bool converged = false;
        for (int pass = 0; pass < 10 && !converged; ++pass) {
            const DoubleVector g = gradient(pr, X);
            const forceMom R = residual(pr, ship, X);
            std::vector<double> b = g.values();
            b.push_back(-R.fwd);
            b.push_back(-R.swd);
            b.push_back(-R.rot);
            const DoubleVector S = Funcs::conjgrad(M, Kt * DoubleVector(b));
            X += S;
            converged = !(P.distance(S) > 0.001);
            P = S;
        }
        int count = 0;
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            const double v = pr.barredAngles[i];
            double r = std::sqrt(X(i) * X(i) + X(n + i) * X(n + i));
            if (forwardCarried(pr, i)) {
                r = std::fabs(X(i) / std::cos(v));
            } else if (sidewaysCarried(pr, i)) {
                r = std::fabs(X(n + i) / std::sin(v));
            }
            const double maxForce = ship.getThruster(i).maxForce();
            const double s = maxForce >= r ? 1.0 : maxForce / r;
            if (pr.frozen[i] == 1) {
                ++count;
            } else if (s != 1.0) {
                pr.frozen[i] = 1;
                ++count;
                changed = true;
                X(i) *= s;
                X(n + i) *= s;
                for (int k = 2 * n; k < N; ++k) {
                    for (Matrix* m : {&K, &Kt}) {
                        m->setEl(i, k, 0.0);
                        m->setEl(n + i, k, 0.0);
                        m->setEl(k, i, 0.0);
                        m->setEl(k, n + i, 0.0);
                    }
                }
            }
        }
        if (!(changed && count < n)) {
            break;
        }
    }
    for (int i = 0; i < n; ++i) {
        const double v = pr.barredAngles[i];
        const double p = ship.getThruster(i).reversePenalty();
        double Fx = X(i);
        double Fy = X(n + i);
        if (forwardCarried(pr, i)) {
            const double f = ramp(X(i) / std::cos(v), p, true);
            Fx = f * X(i);
            Fy = f * X(i) * std::tan(v);
        } else if (sidewaysCarried(pr, i)) {
            const double f = ramp(X(n + i) / std::sin(v), p, true);
            Fx = f * X(n + i) / std::tan(v);
            Fy = f * X(n + i);
        }
        ship.adjustforceThruster(i, Fx, -Fy);
    }
}
