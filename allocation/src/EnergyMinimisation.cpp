// General energy minimisation: the Newton iteration on the optimality conditions of least
// squared thrust under the three force and moment equations, with saturated thrusters
// frozen, and its building blocks (gradient, constraint matrix, residual).
//
// The system matrix K, its normal matrix Kt K and every work vector live in flat arrays of
// the problem's workspace. Every sum is formed in the order of the plain row-by-column
// products; terms are skipped only where they are a signed zero times a finite value,
// which cannot change a sum that started at +0.0.
#include "allocation/EnergyMinimisation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "allocation/ThrustFrame.h"
#include "allocation/Thrusterobj.h"
#include "mathlib/FixedTextError.h"
#include "mathlib/conjgradKernel.h"

namespace {

// Below this |cos v| a fixed-direction thruster is carried by its sideways variable; the
// same bound on |cos v| and |sin v| decides whether its energy entries are kept.
constexpr double kCarryLimit = 0.01;
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

// Efficiency of a fixed-direction thruster at signed thrust r and reverse penalty p.
double rampOpen(double r, double p) {
    return r < 0.0 ? p : p + (1.0 - p) * r;
}

double rampLimited(double r, double p) {
    if (r < 0.0) {
        return p;
    }
    return r < 1.0 ? p + (1.0 - p) * r : 1.0;
}

// The component mode: extra truncated toward zero; anything outside 1..6, NaN included,
// enforces all three components.
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

// Columns i and n+i of the constraint matrix, rows (fwd, swd, rot).
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

std::size_t at(int row, int col, int N) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(N) +
           static_cast<std::size_t>(col);
}

// Lists the nonzero columns of each row of K; returns whether K is entirely finite.
bool indexRows(const double* K, int N, int* start, int* cols) {
    bool finite = true;
    int e = 0;
    for (int r = 0; r < N; ++r) {
        start[r] = e;
        const double* row = K + at(r, 0, N);
        for (int c = 0; c < N; ++c) {
            if (row[c] != 0.0) {
                cols[e++] = c;
                finite = finite && std::isfinite(row[c]);
            }
        }
    }
    start[N] = e;
    return finite;
}

// M = Kt K, element (i, j) = sum over k of K[k][i] * K[k][j], k ascending, formed for
// i <= j and mirrored (the same products in the same order). With K finite a row k where
// either column is zero adds a signed zero, which cannot change a sum that started at
// +0.0, so each row k adds only the products of its own nonzero entries, pair by pair.
void normalMatrix(const double* K, int N, bool finite, const int* start, const int* cols,
                  double* M) {
    if (finite) {
        for (int i = 0; i < N; ++i) {
            std::fill(M + at(i, i, N), M + at(i, N, N), 0.0);
        }
        for (int k = 0; k < N; ++k) {
            const double* row = K + at(k, 0, N);
            for (int e = start[k]; e < start[k + 1]; ++e) {
                const int i = cols[e];
                const double Kki = row[i];
                double* Mi = M + at(i, 0, N);
                for (int f = e; f < start[k + 1]; ++f) {
                    const int j = cols[f];
                    Mi[j] += Kki * row[j];
                }
            }
        }
        for (int i = 0; i < N; ++i) {
            for (int j = i + 1; j < N; ++j) {
                M[at(j, i, N)] = M[at(i, j, N)];
            }
        }
        return;
    }
    for (int i = 0; i < N; ++i) {
        for (int j = i; j < N; ++j) {
            double acc = 0.0;
            for (int k = 0; k < N; ++k) {
                acc += K[at(k, i, N)] * K[at(k, j, N)];
            }
            M[at(i, j, N)] = acc;
            M[at(j, i, N)] = acc;
        }
    }
}

// Splits the symmetric M into the rows that hold nothing but their diagonal entry (the
// variables of frozen thrusters and the idle variable of a fixed-direction thruster) and
// the dense block of the others, which the conjugate gradient then sweeps compactly.
SymmetricSplit splitNormalMatrix(const double* M, int N, SolverWorkspace& ws) {
    int* diagRows = ws.mDiagRows;
    double* diagValues = ws.mDiagValues;
    int* blockRows = ws.mBlockRows;
    int diagCount = 0;
    int blockCount = 0;
    for (int i = 0; i < N; ++i) {
        const double* row = M + at(i, 0, N);
        bool offDiagonal = false;
        for (int k = 0; k < N; ++k) {
            offDiagonal = offDiagonal || (k != i && row[k] != 0.0);
        }
        if (offDiagonal) {
            blockRows[blockCount++] = i;
        } else {
            diagRows[diagCount] = i;
            diagValues[diagCount++] = row[i];
        }
    }
    // Rows padded to an even length, so that the product can take them two at a time.
    const int stride = blockCount + (blockCount & 1);
    double* block = ws.mBlock;
    for (int c = 0; c < blockCount; ++c) {
        const double* row = M + at(blockRows[c], 0, N);
        double* out = block + at(c, 0, stride);
        for (int a = 0; a < blockCount; ++a) {
            out[a] = row[blockRows[a]];
        }
        for (int a = blockCount; a < stride; ++a) {
            out[a] = 0.0;
        }
    }
    SymmetricSplit split;
    split.diagRows = diagRows;
    split.diagValues = diagValues;
    split.diagCount = diagCount;
    split.blockRows = blockRows;
    split.blockCount = blockCount;
    split.block = block;
    split.blockStride = stride;
    return split;
}

// out = Kt b, entry i = sum over k of K[k][i] * b[k], k ascending. With K and b finite
// only the nonzero entries of rows k with b[k] nonzero add anything but signed zeros.
void transposedProduct(const double* K, int N, bool kFinite, const double* b, const int* start,
                       const int* cols, double* out) {
    bool finite = kFinite;
    for (int k = 0; k < N; ++k) {
        finite = finite && std::isfinite(b[k]);
    }
    if (finite) {
        std::fill(out, out + N, 0.0);
        for (int k = 0; k < N; ++k) {
            if (b[k] == 0.0) {
                continue;
            }
            const double* row = K + at(k, 0, N);
            for (int e = start[k]; e < start[k + 1]; ++e) {
                const int i = cols[e];
                out[i] += row[i] * b[k];
            }
        }
        return;
    }
    for (int i = 0; i < N; ++i) {
        double acc = 0.0;
        for (int k = 0; k < N; ++k) {
            acc += K[at(k, i, N)] * b[k];
        }
        out[i] = acc;
    }
}

// K = [[H, -At], [A, 0]] of order 2n + 3.
void assembleK(const allocProblem& problem, const Shipobj& ship, const DirectionTerms* terms, int n,
               double* K) {
    const int nn = 2 * n;
    const int N = nn + 3;
    std::fill(K, K + at(N, 0, N), 0.0);
    for (int j = 0; j < nn; ++j) {
        K[at(j, j, N)] = 2.0;
    }
    for (int i = 0; i < n; ++i) {
        const DirectionTerms& d = terms[i];
        if (d.kind != ThrusterKind::free) {
            // The two tests are independent: a forward-carried thruster keeps the energy
            // entry of its idle sideways variable unless sin v is tiny, and vice versa.
            K[at(i, i, N)] = std::fabs(d.cosv) >= kCarryLimit ? 2.0 / (d.cosv * d.cosv) : 0.0;
            K[at(n + i, n + i, N)] =
                std::fabs(d.sinv) >= kCarryLimit ? 2.0 / (d.sinv * d.sinv) : 0.0;
        }
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        double ci[3];
        double cn[3];
        constraintColumns(d, problem.frozen[i] != 0, t.posX(), t.posY(), ci, cn);
        for (int k = 0; k < 3; ++k) {
            K[at(nn + k, i, N)] = ci[k];
            K[at(nn + k, n + i, N)] = cn[k];
            K[at(i, nn + k, N)] = ci[k] * -1.0;
            K[at(n + i, nn + k, N)] = cn[k] * -1.0;
        }
    }
}

// Force magnitude of thruster i at X, as the saturation check measures it.
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

}  // namespace

void SolverWorkspace::reserve(int n) {
    const std::size_t nn = 2 * static_cast<std::size_t>(n);
    const std::size_t N = nn + 3;
    if (terms.size() < static_cast<std::size_t>(n)) {
        terms.resize(static_cast<std::size_t>(n));
    }
    const std::size_t doubleCount = nn + 2 * N * N + N * (N + 1) + 5 * N;
    if (doubleCapacity_ < doubleCount) {
        doubles_.reset(new double[doubleCount]);
        doubleCapacity_ = doubleCount;
    }
    const std::size_t intCount = (N + 1) + N * N + 2 * N;
    if (intCapacity_ < intCount) {
        ints_.reset(new int[intCount]);
        intCapacity_ = intCount;
    }
    double* d = doubles_.get();
    auto takeDoubles = [&d](std::size_t size) {
        double* first = d;
        d += size;
        return first;
    };
    X = takeDoubles(nn);
    K = takeDoubles(N * N);
    M = takeDoubles(N * N);
    mBlock = takeDoubles(N * (N + 1));
    mDiagValues = takeDoubles(N);
    b = takeDoubles(N);
    rhs = takeDoubles(N);
    S = takeDoubles(N);
    P = takeDoubles(N);
    int* k = ints_.get();
    auto takeInts = [&k](std::size_t size) {
        int* first = k;
        k += size;
        return first;
    };
    kRowStart = takeInts(N + 1);
    kRowCols = takeInts(N * N);
    mDiagRows = takeInts(N);
    mBlockRows = takeInts(N);
    cg.reserve(static_cast<int>(N));
}

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
    SolverWorkspace& ws = problem.workspace;
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
