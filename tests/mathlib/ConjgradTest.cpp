// Funcs::conjgrad: exits, the best-solution fallback, stagnation, the 0/0 step and the
// size check.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mathlib/Funcs.h"

namespace {

DoubleVector vec(std::vector<double> v) {
    return DoubleVector(std::move(v));
}

Matrix diagonal(const std::vector<double>& d) {
    Matrix m(static_cast<int>(d.size()), static_cast<int>(d.size()));
    for (int i = 0; i < m.rows(); ++i) {
        m(i, i) = d[i];
    }
    return m;
}

}  // namespace

// Identity: the first step has alpha = 1 and returns b exactly; a diagonal system whose
// first step already meets the tolerance returns that step.
TEST(Conjgrad, FirstStepExits) {
    const DoubleVector b = vec({0.3, -7.25, 1e-3});
    EXPECT_EQ(Funcs::conjgrad(Matrix(3, 1.0), b).values(), b.values());

    // diag(2, 2): alpha = 0.5 and x = b / 2 exactly, residual 0.
    const DoubleVector x = Funcs::conjgrad(Matrix(2, 2.0), vec({3, -5}));
    EXPECT_EQ(x.values(), (std::vector<double>{1.5, -2.5}));
}

// A well-conditioned SPD system converges within the tolerance to the true solution.
TEST(Conjgrad, SolvesSymmetricPositiveSystem) {
    Matrix A(3, 3);
    const double rows[3][3] = {{4, 1, 0}, {1, 3, 1}, {0, 1, 2}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            A(i, j) = rows[i][j];
        }
    }
    // Chosen solution (1, -2, 3) gives b = A x.
    const DoubleVector b = vec({2, -2, 4});
    const DoubleVector x = Funcs::conjgrad(A, b);
    EXPECT_NEAR(x(0), 1.0, 1e-3);
    EXPECT_NEAR(x(1), -2.0, 1e-3);
    EXPECT_NEAR(x(2), 3.0, 1e-3);
    EXPECT_LE((A * x - b).maxNorm(), 0.001);
}

// The Hilbert matrix of order 12 is too ill-conditioned to meet the absolute tolerance at a
// right-hand side of 1e6: past 250 iterations the first step without a new best ends the
// run with the best solution, finite and far better than the zero start.
TEST(Conjgrad, BestSolutionFallback) {
    const int n = 12;
    Matrix A(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            A(i, j) = 1.0 / (i + j + 1);
        }
    }
    const DoubleVector b(n, 1e6);
    const DoubleVector x = Funcs::conjgrad(A, b);
    for (unsigned i = 0; i < x.size(); ++i) {
        EXPECT_TRUE(std::isfinite(x(i)));
    }
    const double residual = (b - A * x).maxNorm();
    EXPECT_GT(residual, 0.001);
    EXPECT_LT(residual, 1e-2 * b.maxNorm());
}

// p.(A p) overflows to infinity: alpha is 0 and the residual never changes. The routine
// must still end, with the zero start solution as its best.
TEST(Conjgrad, StagnationTerminates) {
    const DoubleVector x = Funcs::conjgrad(diagonal({1e308, 1e308}), vec({10.0, 10.0}));
    EXPECT_EQ(x.values(), (std::vector<double>{0.0, 0.0}));
}

// b = 0 makes the first step 0/0; the zero vector, an exact solution, comes back.
TEST(Conjgrad, ZeroRightHandSide) {
    const DoubleVector x = Funcs::conjgrad(diagonal({2.0, 3.0}), DoubleVector(2, 0.0));
    EXPECT_EQ(x.values(), (std::vector<double>{0.0, 0.0}));
}

// Size checks: the row count against b, then the column count through the product.
TEST(Conjgrad, SizeChecks) {
    try {
        Funcs::conjgrad(Matrix(2, 2), DoubleVector(3, 1.0));
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(),
                     "Error in Class:Funcs Function:conjgrad. Incorrect Matrix/vector size to "
                     "apply the Conjugate Gradient Algorithm.");
    }
    try {
        Funcs::conjgrad(Matrix(2, 3), DoubleVector(2, 1.0));
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(),
                     "Error in Class:Matrix Function:operator*vector. Incorrect Matrix/vector "
                     "size for this operation.");
    }
}
