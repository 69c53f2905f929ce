// The optimised minimiser against a plain textbook version built from DoubleVector and
// Matrix operations step by step, compared bit for bit on seeded random problems.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "allocation/EnergyMinimisation.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "mathlib/Funcs.h"

namespace plain {

DoubleVector conjgrad(const Matrix& A, const DoubleVector& b) {
    DoubleVector rOld = b;
    DoubleVector r = b;
    DoubleVector p = b;
    DoubleVector x(A.cols(), 0.0);
    double pAp = (A * p).vecprod(p);
    if (pAp == 0.0) {
        return x;
    }
    double alpha = rOld.squaredNorm() / pAp;
    x = p * alpha;
    r -= A * (p * alpha);
    double err = r.maxNorm();
    double best = err;
    DoubleVector xBest = x;
    int k = 0;
    while (err > 0.001) {
        ++k;
        const double beta = r.squaredNorm() / rOld.squaredNorm();
        p = r + p * beta;
        pAp = (A * p).vecprod(p);
        if (pAp == 0.0) {
            return x;
        }
        alpha = r.squaredNorm() / pAp;
        x += p * alpha;
        rOld = r;
        r -= A * (p * alpha);
        err = r.maxNorm();
        const bool improved = err < best;
        if (improved) {
            best = err;
            xBest = x;
        }
        if (k > 250 && !improved) {
            return xBest;
        }
    }
    return x;
}

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
        fx += Fx;
        fy += Fy;
        mz += t.posX() * Fy - t.posY() * Fx;
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

void minimizeEnergy(allocProblem& pr, Shipobj& ship) {
    const int n = pr.count;
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
            const DoubleVector S = conjgrad(M, Kt * DoubleVector(b));
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

}  // namespace plain

namespace {

// Bit pattern of x, with every NaN mapped to one pattern: which NaN an operation on two
// NaN operands propagates depends on operand order, which the compiler may swap.
std::uint64_t bits(double x) {
    if (std::isnan(x)) {
        return 0x7ff8000000000000u;
    }
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

struct Case {
    Shipobj ship;
    allocProblem problem;
};

Case randomCase(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
    const int n = 1 + static_cast<int>(rng() % 10);
    Case c;
    double totalMax = 0.0;
    for (int i = 0; i < n; ++i) {
        const double maxForce = rng() % 10 == 0 ? 0.0 : uniform(10.0, 500.0);
        totalMax += maxForce;
        const double startForce = rng() % 3 == 0 ? 0.0 : uniform(0.0, 1.5 * maxForce);
        // A penalty below 1 often makes the iteration diverge to NaN, which hides
        // differences; keep most thrusters at 1.
        const double penalty = rng() % 4 == 0 ? uniform(0.2, 1.0) : 1.0;
        c.ship.addThruster(Thrusterobj(static_cast<signed char>(i), uniform(-40.0, 40.0),
                                       uniform(-10.0, 10.0), static_cast<signed char>(rng() % 4),
                                       maxForce, startForce, penalty, uniform(0.0, 6.28), 0.0,
                                       uniform(0.0, 6.28)));
        const unsigned kind = rng() % 10;
        double v = -1.0;
        if (kind == 0) {
            v = std::numeric_limits<double>::quiet_NaN();
        } else if (kind < 4) {
            v = uniform(0.0, 6.28);
        } else if (kind < 6) {
            // Near a quarter turn, on both sides of the carrying bound.
            v = (rng() % 2 == 0 ? 1.5707963267948966 : 4.71238898038469) + uniform(-0.02, 0.02);
        }
        c.problem.barredAngles.push_back(v);
    }
    const double extras[] = {0.0,
                             0.0,
                             0.0,
                             1.0,
                             2.0,
                             3.0,
                             4.5,
                             5.0,
                             6.0,
                             7.0,
                             -2.0,
                             1e300,
                             std::numeric_limits<double>::quiet_NaN()};
    c.problem.demand = forceMom(uniform(-0.8, 0.8) * totalMax, uniform(-0.8, 0.8) * totalMax,
                                uniform(-20.0, 20.0) * totalMax, extras[rng() % 13]);
    c.problem.count = n;
    c.problem.frozen.assign(static_cast<std::size_t>(n), 0);
    return c;
}

// Solves c with the plain version and with minimizeEnergy on the reused record and
// compares forces, derived fields and frozen flags bit for bit; counts frozen thrusters
// and NaN forces of the result.
void expectSameSolve(Case c, allocProblem& reused, int trial, int& frozenSeen, int& nanSeen) {
    Shipobj expectedShip = c.ship;
    allocProblem expectedProblem = c.problem;
    plain::minimizeEnergy(expectedProblem, expectedShip);

    reused.demand = c.problem.demand;
    reused.barredAngles = c.problem.barredAngles;
    reused.count = c.problem.count;
    reused.frozen = c.problem.frozen;
    minimizeEnergy(reused, c.ship);

    ASSERT_EQ(reused.frozen, expectedProblem.frozen) << "trial " << trial;
    for (int i = 0; i < c.problem.count; ++i) {
        const Thrusterobj& got = c.ship.thruster(i);
        const Thrusterobj& want = expectedShip.thruster(i);
        ASSERT_EQ(bits(got.forceX()), bits(want.forceX())) << "trial " << trial << " i " << i;
        ASSERT_EQ(bits(got.forceY()), bits(want.forceY())) << "trial " << trial << " i " << i;
        ASSERT_EQ(bits(got.force()), bits(want.force())) << "trial " << trial;
        ASSERT_EQ(bits(got.direction()), bits(want.direction())) << "trial " << trial;
        frozenSeen += reused.frozen[i];
        nanSeen += std::isnan(got.forceX()) ? 1 : 0;
    }
}

// Small maxima against a large demand, so that thrusters saturate cycle after cycle and
// most rows of the normal matrix keep only their diagonal entry.
Case frozenHeavyCase(std::mt19937_64& rng) {
    Case c = randomCase(rng);
    Shipobj small;
    for (int i = 0; i < c.problem.count; ++i) {
        const Thrusterobj& t = c.ship.thruster(i);
        small.addThruster(Thrusterobj(static_cast<signed char>(i), t.posX(), t.posY(), 0,
                                      t.maxForce() * 0.02, t.force() * 0.02, t.reversePenalty(),
                                      0.3, 0.0, 3.0));
    }
    c.ship = small;
    return c;
}

// One non-finite or overflowing value: a demand component, or an arm so long that the
// products of the system matrix overflow.
Case nonFiniteCase(std::mt19937_64& rng) {
    Case c = randomCase(rng);
    const double inf = std::numeric_limits<double>::infinity();
    const double odd[] = {inf, -inf, std::numeric_limits<double>::quiet_NaN(), 1e300, 1e160};
    const double value = odd[rng() % 5];
    switch (rng() % 4) {
        case 0:
            c.problem.demand.fwd = value;
            break;
        case 1:
            c.problem.demand.rot = value;
            break;
        default: {
            Shipobj changed;
            const int k = static_cast<int>(rng() % static_cast<unsigned>(c.problem.count));
            for (int i = 0; i < c.problem.count; ++i) {
                const Thrusterobj& t = c.ship.thruster(i);
                changed.addThruster(
                    Thrusterobj(static_cast<signed char>(i), i == k ? value : t.posX(), t.posY(), 0,
                                t.maxForce(), t.force(), t.reversePenalty(), 0.3, 0.0, 3.0));
            }
            c.ship = changed;
            break;
        }
    }
    return c;
}

}  // namespace

// Thousands of random problems (free, forward- and sideways-carried thrusters, saturation,
// zero maxima, every component mode, random start forces): forces, derived fields and
// frozen flags agree bit for bit. One work record is reused throughout, so its buffers
// are grown and reused across ship sizes.
TEST(SolverIdentity, MatchesPlainVersionBitForBit) {
    const unsigned seed = 20240611;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937_64 rng(seed);
    allocProblem reused;
    int frozenSeen = 0;
    int nanSeen = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        expectSameSolve(randomCase(rng), reused, trial, frozenSeen, nanSeen);
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(frozenSeen, 100);          // the saturation path was exercised
    EXPECT_LT(nanSeen, frozenSeen / 4);  // most comparisons are between numbers

    // Copied and moved records start with empty buffers and still solve the same.
    allocProblem copied = reused;
    allocProblem moved = std::move(reused);
    for (allocProblem* record : {&copied, &moved}) {
        expectSameSolve(randomCase(rng), *record, -1, frozenSeen, nanSeen);
    }
}

// Problems where most thrusters freeze, and problems with infinite, NaN or overflowing
// values, which must take the full products wherever a skipped zero term would have been
// NaN: still bit for bit.
TEST(SolverIdentity, FrozenHeavyAndNonFiniteProblemsMatch) {
    const unsigned seed = 4711;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937_64 rng(seed);
    allocProblem reused;
    int thrusters = 0;
    int frozenSeen = 0;
    int nanSeen = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        const Case c = frozenHeavyCase(rng);
        thrusters += c.problem.count;
        expectSameSolve(c, reused, trial, frozenSeen, nanSeen);
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(frozenSeen, thrusters / 2);
    int finiteSeen = 0;
    nanSeen = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        const Case c = nonFiniteCase(rng);
        const int before = nanSeen;
        expectSameSolve(c, reused, trial, frozenSeen, nanSeen);
        if (HasFatalFailure()) {
            return;
        }
        finiteSeen += nanSeen == before ? 1 : 0;
    }
    EXPECT_GT(nanSeen, 100);     // non-finite values reached the results
    EXPECT_GT(finiteSeen, 100);  // and some problems still solved to numbers
}

// The building blocks agree with the plain versions at random points, frozen flags set.
TEST(SolverIdentity, BuildingBlocksMatch) {
    const unsigned seed = 7;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937_64 rng(seed);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        Case c = randomCase(rng);
        const int n = c.problem.count;
        for (int i = 0; i < n; ++i) {
            c.problem.frozen[i] = static_cast<int>(rng() % 4 == 0);
        }
        std::vector<double> x;
        for (int j = 0; j < 2 * n; ++j) {
            x.push_back(std::uniform_real_distribution<double>(-300.0, 300.0)(rng));
        }
        const DoubleVector X(x);
        const DoubleVector g = energyGradient(c.problem, X);
        const DoubleVector gPlain = plain::gradient(c.problem, X);
        for (unsigned j = 0; j < g.size(); ++j) {
            ASSERT_EQ(bits(g(j)), bits(gPlain(j)));
        }
        const Matrix A = constraintMatrix(c.problem, c.ship);
        const Matrix APlain = plain::constraints(c.problem, c.ship);
        ASSERT_EQ(0, std::memcmp(A.data(), APlain.data(), sizeof(double) * 6 * n));
        const forceMom R = thrustResidual(c.problem, c.ship, X);
        const forceMom RPlain = plain::residual(c.problem, c.ship, X);
        ASSERT_EQ(bits(R.fwd), bits(RPlain.fwd));
        ASSERT_EQ(bits(R.swd), bits(RPlain.swd));
        ASSERT_EQ(bits(R.rot), bits(RPlain.rot));
        ASSERT_EQ(R.extra, 0.0);
    }
}

// Funcs::conjgrad against the plain routine on random symmetric positive semi-definite
// systems, and on the Hilbert matrix where the best-solution fallback decides.
TEST(SolverIdentity, ConjgradMatchesPlainRoutine) {
    const unsigned seed = 99;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> entry(-5.0, 5.0);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 12);
        Matrix B(n, n);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                B(i, j) = rng() % 3 == 0 ? 0.0 : entry(rng);
            }
        }
        const Matrix A = B.transpose() * B;
        std::vector<double> b;
        for (int i = 0; i < n; ++i) {
            b.push_back(entry(rng) * 100.0);
        }
        const DoubleVector x = Funcs::conjgrad(A, DoubleVector(b));
        const DoubleVector xPlain = plain::conjgrad(A, DoubleVector(b));
        ASSERT_EQ(0, std::memcmp(x.data(), xPlain.data(), sizeof(double) * n)) << trial;
    }
    Matrix hilbert(12, 12);
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 12; ++j) {
            hilbert(i, j) = 1.0 / (i + j + 1);
        }
    }
    const DoubleVector b(12, 1e6);
    EXPECT_EQ(0, std::memcmp(Funcs::conjgrad(hilbert, b).data(), plain::conjgrad(hilbert, b).data(),
                             sizeof(double) * 12));
}
