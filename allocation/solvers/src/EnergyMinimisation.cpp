// General energy minimisation: the Newton iteration on the optimality conditions of least
// squared thrust under the three force and moment equations, and the freeze loop that
// saturates thrusters one cycle at a time. The per-thruster terms, the assembly of K and the
// normal-equation algebra live in files of their own; every array lives in the problem's
// workspace.
#include "allocation/EnergyMinimisation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "NormalEquations.h"
#include "SystemMatrix.h"
#include "ThrusterTerms.h"
#include "allocation/Thrusterobj.h"
#include "mathlib/FixedTextError.h"
#include "mathlib/conjgradKernel.h"

namespace {

constexpr double kStepTolerance = 0.001;
constexpr int kNewtonPasses = 10;

[[noreturn]] void throwAngleIndexError() {
    throw FixedTextError("Error in Class:DoubleVector Function:operator[]. Index out of bounds.");
}

// The record's thruster count, after checking that the fixed-angle list covers it.
int checkedCount(const allocProblem& problem) {
    if (problem.count < 0) {
        throw std::length_error("allocProblem: negative thruster count");
    }
    if (problem.barredAngles.size() < static_cast<std::size_t>(problem.count)) {
        throwAngleIndexError();
    }
    return problem.count;
}

void requireFrozenFlags(const allocProblem& problem, int n) {
    if (problem.frozen.size() < static_cast<std::size_t>(n)) {
        throwAngleIndexError();
    }
}

void requireThrusters(const Shipobj& ship, int n) {
    if (static_cast<std::uint32_t>(n) > ship.count()) {
        ship.getThruster(ship.count());  // throws the ship's index error
    }
}

void requireVariables(const DoubleVector& X, int n) {
    const unsigned int needed = 2u * static_cast<unsigned int>(n);
    if (X.size() < needed) {
        static_cast<void>(X(needed - 1));  // throws the vector's index error
    }
}

}  // namespace

DoubleVector energyGradient(const allocProblem& problem, const DoubleVector& X) {
    const int n = checkedCount(problem);
    requireFrozenFlags(problem, n);
    requireVariables(X, n);
    std::vector<DirectionTerms> terms(static_cast<std::size_t>(n));
    fillTerms(problem, n, terms.data());
    std::vector<double> g(2 * static_cast<std::size_t>(n));
    gradient(problem, terms.data(), n, X.data(), g.data());
    return DoubleVector(std::move(g));
}

Matrix constraintMatrix(const allocProblem& problem, const Shipobj& ship) {
    const int n = checkedCount(problem);
    requireFrozenFlags(problem, n);
    requireThrusters(ship, n);
    Matrix A(3, 2 * n);
    for (int i = 0; i < n; ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        double ci[3];
        double cn[3];
        constraintColumns(directionTerms(problem.barredAngles[i]), problem.frozen[i] != 0, t.posX(),
                          t.posY(), ci, cn);
        for (int k = 0; k < 3; ++k) {
            A(k, i) = ci[k];
            A(k, n + i) = cn[k];
        }
    }
    return A;
}

forceMom thrustResidual(const allocProblem& problem, const Shipobj& ship, const DoubleVector& X) {
    const int n = checkedCount(problem);
    requireThrusters(ship, n);
    requireVariables(X, n);
    std::vector<DirectionTerms> terms(static_cast<std::size_t>(n));
    fillTerms(problem, n, terms.data());
    return residual(problem, ship, terms.data(), n, X.data());
}

void minimizeEnergy(allocProblem& problem, Shipobj& ship) {
    const int n = checkedCount(problem);
    requireFrozenFlags(problem, n);
    requireThrusters(ship, n);
    if (n == 0) {
        // K is the zero matrix of order 3, every step is zero and there is nothing to write.
        return;
    }
    const int nn = 2 * n;
    const int N = nn + 3;
    SolverWorkspace& ws = problem.workspace.get();
    ws.reserve(n);
    DirectionTerms* terms = ws.terms.data();
    double* X = ws.X;
    double* K = ws.K;
    double* M = ws.M;
    double* b = ws.b;
    double* rhs = ws.rhs;
    double* S = ws.S;
    double* P = ws.P;

    fillTerms(problem, n, terms);
    // The start is the stored components as they stand (forceY not negated).
    for (int i = 0; i < n; ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        X[i] = t.forceX();
        X[n + i] = t.forceY();
    }
    assembleK(problem, ship, terms, n, K);
    // The previous step persists across cycles: a cycle's first pass compares with the
    // last step of the cycle before.
    std::fill(P, P + N, 0.0);

    for (;;) {
        const bool kFinite = indexRows(K, N, ws.kRowStart, ws.kRowCols);
        normalMatrix(K, N, kFinite, ws.kRowStart, ws.kRowCols, M);
        // M is symmetric bit for bit: every element below the diagonal is a copy.
        const SymmetricSplit mSplit = splitNormalMatrix(M, N, ws);

        bool converged = false;
        for (int pass = 0; pass < kNewtonPasses && !converged; ++pass) {
            gradient(problem, terms, n, X, b);
            const forceMom R = residual(problem, ship, terms, n, X);
            b[nn] = -R.fwd;
            b[nn + 1] = -R.swd;
            b[nn + 2] = -R.rot;
            transposedProduct(K, N, kFinite, b, ws.kRowStart, ws.kRowCols, rhs);
            conjgradKernel(M, N, rhs, S, ws.cg, &mSplit);
            // The three multipliers at the end of S are not accumulated.
            for (int j = 0; j < nn; ++j) {
                X[j] += S[j];
            }
            double sq = 0.0;
            for (int j = 0; j < N; ++j) {
                const double d = P[j] - S[j];
                sq += d * d;
            }
            converged = !(std::sqrt(sq) > kStepTolerance);  // NaN counts as converged
            std::swap(P, S);
        }

        int frozenCount = 0;
        bool changed = false;
        for (int i = 0; i < n; ++i) {
            const double r = magnitude(terms[i], i, n, X);
            const double maxForce = ship.thruster(static_cast<unsigned int>(i)).maxForce();
            const double s = maxForce >= r ? 1.0 : maxForce / r;
            if (problem.frozen[i] != 0) {
                ++frozenCount;
            } else if (s != 1.0) {
                problem.frozen[i] = 1;
                ++frozenCount;
                changed = true;
                X[i] *= s;
                X[n + i] *= s;
                // Cut its coupling to the three equations (Kt stays the transpose of K);
                // its energy entries stay.
                for (int k = nn; k < N; ++k) {
                    K[at(i, k, N)] = 0.0;
                    K[at(n + i, k, N)] = 0.0;
                    K[at(k, i, N)] = 0.0;
                    K[at(k, n + i, N)] = 0.0;
                }
            }
        }
        if (!changed || frozenCount >= n) {
            break;
        }
    }

    for (int i = 0; i < n; ++i) {
        const DirectionTerms& d = terms[i];
        const double p = ship.thruster(static_cast<unsigned int>(i)).reversePenalty();
        double Fx = X[i];
        double Fy = X[n + i];
        if (d.kind == ThrusterKind::forwardCarried) {
            const double f = rampLimited(X[i] / d.cosv, p);
            Fx = f * X[i];
            Fy = f * X[i] * d.tanv;
        } else if (d.kind == ThrusterKind::sidewaysCarried) {
            const double f = rampLimited(X[n + i] / d.sinv, p);
            Fx = f * X[n + i] / d.tanv;
            Fy = f * X[n + i];
        }
        // The solver's sideways axis runs opposite to the stored forceY.
        ship.adjustforceThruster(static_cast<unsigned int>(i), Fx, -Fy);
    }
}
