// DoubleVector, Matrix and Funcs::conjgrad: checked access, arithmetic against hand-worked
// values, the solver's exits, and the exact failure texts.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "mathlib/Funcs.h"
#include "portable/TestText.h"

namespace {

using Rows = std::vector<std::vector<double>>;

std::string vectorError(const char* function, const char* what) {
    return std::string("Error in Class:DoubleVector Function:") + function + ". " + what;
}

std::string matrixError(const char* function, const char* what) {
    return std::string("Error in Class:Matrix Function:") + function + ". " + what;
}

const auto vec = [](std::vector<double> v) { return DoubleVector(std::move(v)); };

Matrix fromRows(const Rows& rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
    for (int i = 0; i < m.rows(); ++i)
        for (int j = 0; j < m.cols(); ++j)
            m(i, j) = rows[i][j];
    return m;
}

Rows rowsOf(const Matrix& m) {
    Rows rows;
    for (int i = 0; i < m.rows(); ++i)
        rows.push_back(m.getRow(i).values());
    return rows;
}

}  // namespace

// Construction, checked access and the setEl rule that ignores out-of-range indexes. (The
// text of operator[] out of bounds is checked through the minimiser's inconsistent records.)
TEST(DoubleVector, ConstructionAndAccess) {
    EXPECT_EQ(DoubleVector(0, 7.0).size(), 0u);
    EXPECT_THROW(DoubleVector(-1, 7.0), std::length_error);
    DoubleVector v(3, 1.5);
    v(1) = 4.0;
    v.setEl(2, 5.0);
    v.setEl(3, 9.0);
    EXPECT_EQ(v.values(), (std::vector<double>{1.5, 4.0, 5.0}));
    EXPECT_EQ(failureText([&] { v(3); }), vectorError("operator()", "Index out of bounds."));
}

// Reductions on hand-worked values; NaN is passed over by the maximum norm; sums run in index
// order, so 1e16 + 1 is lost before -1e16 comes in.
TEST(DoubleVector, Reductions) {
    EXPECT_EQ(vec({1, 2, 3}).vecprod(vec({4, 5, 6})), 32.0);
    EXPECT_EQ(vec({-3, 2}).maxNorm(), 3.0);
    EXPECT_EQ(DoubleVector().maxNorm(), 0.0);
    EXPECT_EQ(vec({std::nan(""), -2, 1}).maxNorm(), 2.0);
    EXPECT_EQ(vec({1, 2, 3.5}).sum(), 6.5);
    EXPECT_EQ(vec({1e16, 1, -1e16}).sum(), 0.0);
    EXPECT_EQ(vec({3, 4}).squaredNorm(), 25.0);
    EXPECT_EQ(vec({1, 2, 3}).distance(vec({1, 2})), 0.0);
    EXPECT_EQ(vec({4, 6}).distance(vec({1, 2, 99})), 5.0);
    EXPECT_EQ(failureText([] { DoubleVector(2, 1.0).vecprod(DoubleVector(3, 1.0)); }),
              vectorError("vecprod", "Incorrect vector sizes for this operation."));
}

// Element-wise arithmetic, and operands left unchanged by a failed length check.
TEST(DoubleVector, Arithmetic) {
    const DoubleVector a = vec({1, 5});
    EXPECT_EQ((a + vec({2, 3})).values(), (std::vector<double>{3, 8}));
    EXPECT_EQ((a - vec({2, 3})).values(), (std::vector<double>{-1, 2}));
    EXPECT_EQ((a * vec({2, 3})).values(), (std::vector<double>{2, 15}));
    // The scalar minus is reversed: v - s gives s - v element-wise.
    EXPECT_EQ(((a + 1.0) * 2.0 - 3.0).values(), (std::vector<double>{-1, -9}));

    DoubleVector three = vec({1, 2, 3});
    const DoubleVector four = vec({10, 20, 30, 40});
    const char* mismatch = "dimensions not the same";
    EXPECT_EQ(failureText([&] { three + four; }), vectorError("operator+", mismatch));
    EXPECT_EQ(failureText([&] { three - four; }), vectorError("operator-", mismatch));
    EXPECT_EQ(failureText([&] { three* four; }), vectorError("operator*", mismatch));
    EXPECT_EQ(failureText([&] { three *= four; }), vectorError("operator*=", mismatch));
    EXPECT_EQ(three.values(), (std::vector<double>{1, 2, 3}));

    // The in-place forms work over the shorter length: {20, 10, 33}, then -(x - 1).
    ((three += four) -= vec({1, 2})) *= vec({2, 0.5, 1});
    ((three += 1.0) -= 2.0) *= -1.0;
    EXPECT_EQ(three.values(), (std::vector<double>{-19, -9, -32}));
}

// Constructors, index checks of every accessor, and assignment that never resizes.
TEST(Matrix, ConstructionAccessAndAssignment) {
    const std::string ctorText = matrixError("Constructor", "Incorrect Matrix dimensions.");
    EXPECT_EQ(failureText([] { Matrix(0, 3); }), ctorText);
    EXPECT_EQ(failureText([] { Matrix(-1, 2.0); }), ctorText);
    EXPECT_EQ(rowsOf(Matrix(3, 2.0)), (Rows{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}}));

    Matrix m(2, 3);
    m.setAll(0.5);
    m.setEl(1, 2, 7.0);
    m.setEl(1, 4.0);
    m(0, 1) = 3.0;
    EXPECT_EQ(rowsOf(m), (Rows{{0.5, 3, 0.5}, {4, 0.5, 7}}));
    EXPECT_EQ(m.getCol(1).values(), (std::vector<double>{3, 0.5}));

    const char* bounds = "Index out of bounds.";
    EXPECT_EQ(failureText([&] { m(0, -1); }), matrixError("operator()", bounds));
    EXPECT_EQ(failureText([&] { m.setEl(2, 0, 1.0); }), matrixError("setEl(i,j)", bounds));
    EXPECT_EQ(failureText([&] { m.setEl(-1, 1.0); }), matrixError("setEl(i)", bounds));
    EXPECT_EQ(failureText([&] { m.getRow(2); }), matrixError("getRow", bounds));
    EXPECT_EQ(failureText([&] { m.getCol(3); }), matrixError("getCol", bounds));

    const Rows tall = {{1, 2}, {3, 4}, {5, 6}};
    Matrix target = fromRows(tall);
    EXPECT_EQ(failureText([&] { target = m; }),
              matrixError("operator=", "Incorrect Matrix sizes for this operation."));
    target = target;
    EXPECT_EQ(rowsOf(target), tall);
}

// Sums, products and transpose against hand-computed values; mismatched operands throw.
TEST(Matrix, ArithmeticAndProducts) {
    const Matrix a = fromRows({{1, 2, 3}, {4, 5, 6}});
    const Matrix b = fromRows({{1, 0, 2, -1}, {0, 1, 1, 0}, {2, 1, 0, 3}});
    EXPECT_EQ(rowsOf(a * b), (Rows{{7, 5, 4, 8}, {16, 11, 13, 14}}));
    EXPECT_EQ(rowsOf(a + a), (Rows{{2, 4, 6}, {8, 10, 12}}));
    EXPECT_EQ(rowsOf(a - a * 2.0), (Rows{{-1, -2, -3}, {-4, -5, -6}}));
    EXPECT_EQ(rowsOf(a.transpose()), (Rows{{1, 4}, {2, 5}, {3, 6}}));
    EXPECT_EQ((a * vec({1, -1, 2})).values(), (std::vector<double>{5, 11}));
    EXPECT_EQ(Matrix::vecprod(vec({1, 2}), vec({3, 4})), 11.0);

    const char* sizes = "Incorrect Matrix sizes for this operation.";
    EXPECT_EQ(failureText([&] { a* a; }), matrixError("operator*Matrix", sizes));
    EXPECT_EQ(failureText([&] { a + b; }), matrixError("operator+", sizes));
    EXPECT_EQ(failureText([&] { a - b; }), matrixError("operator-", sizes));
    EXPECT_EQ(failureText([&] { a* DoubleVector(2, 1.0); }),
              matrixError("operator*vector", "Incorrect Matrix/vector size for this operation."));
    EXPECT_EQ(failureText([] { Matrix::vecprod(DoubleVector(2, 1.0), DoubleVector(3, 1.0)); }),
              matrixError("vecprod", "Incorrect vector sizes for this operation."));
}

// Block assembly [[A, B], [C, 0]], and a B too tall for the result.
TEST(Matrix, BlockMatrix) {
    const Matrix A = fromRows({{1, 2}, {3, 4}});
    const Matrix C = fromRows({{7, 8}});
    EXPECT_EQ(rowsOf(Matrix::blockMatrix(A, fromRows({{5}, {6}}), C)),
              (Rows{{1, 2, 5}, {3, 4, 6}, {7, 8, 0}}));
    EXPECT_EQ(failureText([&] { Matrix::blockMatrix(A, Matrix(4, 1), C); }),
              matrixError("setEl(i,j)", "Index out of bounds."));
}

// The identity's first step has alpha = 1 and returns b exactly; diag(2, 2) gives b / 2
// exactly at the first step; a well-conditioned SPD system meets the tolerance.
TEST(Conjgrad, SolvesWithinTolerance) {
    const DoubleVector b = vec({0.3, -7.25, 1e-3});
    EXPECT_EQ(Funcs::conjgrad(Matrix(3, 1.0), b).values(), b.values());
    EXPECT_EQ(Funcs::conjgrad(Matrix(2, 2.0), vec({3, -5})).values(),
              (std::vector<double>{1.5, -2.5}));

    // Chosen solution (1, -2, 3) gives the right-hand side.
    const Matrix A = fromRows({{4, 1, 0}, {1, 3, 1}, {0, 1, 2}});
    const DoubleVector x = Funcs::conjgrad(A, vec({2, -2, 4}));
    EXPECT_LE((x - vec({1, -2, 3})).maxNorm(), 1e-3);
    EXPECT_LE((A * x - vec({2, -2, 4})).maxNorm(), 0.001);
}

// The Hilbert matrix of order 12 cannot meet the absolute tolerance at a right-hand side of
// 1e6: past 250 iterations the run ends with its best solution, finite and far better than 0.
TEST(Conjgrad, BestSolutionFallback) {
    Matrix A(12, 12);
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j)
            A(i, j) = 1.0 / (i + j + 1);
    const DoubleVector b(12, 1e6);
    const DoubleVector x = Funcs::conjgrad(A, b);
    EXPECT_TRUE(std::isfinite(x.squaredNorm()));
    const double residual = (b - A * x).maxNorm();
    EXPECT_GT(residual, 0.001);
    EXPECT_LT(residual, 1e-2 * b.maxNorm());
}

// p.(A p) overflowing to infinity makes alpha 0 forever: the run still ends with the zero start.
// b = 0 makes the first step 0/0: the zero vector, an exact solution, comes back.
TEST(Conjgrad, DegenerateStepsEndAtZero) {
    const std::vector<double> zero{0.0, 0.0};
    EXPECT_EQ(Funcs::conjgrad(fromRows({{1e308, 0}, {0, 1e308}}), vec({10, 10})).values(), zero);
    EXPECT_EQ(Funcs::conjgrad(fromRows({{2, 0}, {0, 3}}), DoubleVector(2, 0.0)).values(), zero);
}

// The row count is checked against b, the column count through the product.
TEST(Conjgrad, SizeChecks) {
    EXPECT_EQ(failureText([] { Funcs::conjgrad(Matrix(2, 2), DoubleVector(3, 1.0)); }),
              "Error in Class:Funcs Function:conjgrad. Incorrect Matrix/vector size to apply "
              "the Conjugate Gradient Algorithm.");
    EXPECT_EQ(failureText([] { Funcs::conjgrad(Matrix(2, 3), DoubleVector(2, 1.0)); }),
              "Error in Class:Matrix Function:operator*vector. Incorrect Matrix/vector size for "
              "this operation.");
}
