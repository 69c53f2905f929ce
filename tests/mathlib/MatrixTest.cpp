// Matrix: construction, checked access, products against hand values, block assembly and
// the exact failure texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "mathlib/Matrix.h"

namespace {

std::string failureText(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

Matrix fromRows(const std::vector<std::vector<double>>& rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
    for (int i = 0; i < m.rows(); ++i) {
        for (int j = 0; j < m.cols(); ++j) {
            m(i, j) = rows[i][j];
        }
    }
    return m;
}

void expectMatrix(const Matrix& m, const std::vector<std::vector<double>>& rows) {
    ASSERT_EQ(m.rows(), static_cast<int>(rows.size()));
    ASSERT_EQ(m.cols(), static_cast<int>(rows[0].size()));
    for (int i = 0; i < m.rows(); ++i) {
        for (int j = 0; j < m.cols(); ++j) {
            EXPECT_EQ(m(i, j), rows[i][j]) << "element " << i << "," << j;
        }
    }
}

}  // namespace

// Constructors, index checks of every accessor, and assignment that never resizes.
TEST(Matrix, ConstructionAccessAndAssignment) {
    const std::string ctorText =
        "Error in Class:Matrix Function:Constructor. Incorrect Matrix dimensions.";
    EXPECT_EQ(failureText([] { Matrix(0, 3); }), ctorText);
    EXPECT_EQ(failureText([] { Matrix(-1, 2.0); }), ctorText);
    expectMatrix(Matrix(3, 2.0), {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}});

    Matrix m(2, 3);
    m.setEl(1, 2, 7.0);
    m.setEl(1, 4.0);
    m.setAll(0.5);
    m(0, 1) = 3.0;
    expectMatrix(m, {{0.5, 3, 0.5}, {0.5, 0.5, 0.5}});
    EXPECT_EQ(m.getRow(0).values(), (std::vector<double>{0.5, 3, 0.5}));
    EXPECT_EQ(m.getCol(1).values(), (std::vector<double>{3, 0.5}));

    EXPECT_EQ(failureText([&] { m(0, -1); }),
              "Error in Class:Matrix Function:operator(). Index out of bounds.");
    EXPECT_EQ(failureText([&] { m.setEl(2, 0, 1.0); }),
              "Error in Class:Matrix Function:setEl(i,j). Index out of bounds.");
    EXPECT_EQ(failureText([&] { m.setEl(-1, 1.0); }),
              "Error in Class:Matrix Function:setEl(i). Index out of bounds.");
    EXPECT_EQ(failureText([&] { m.getRow(2); }),
              "Error in Class:Matrix Function:getRow. Index out of bounds.");
    EXPECT_EQ(failureText([&] { m.getCol(3); }),
              "Error in Class:Matrix Function:getCol. Index out of bounds.");

    Matrix target = fromRows({{1, 2}, {3, 4}, {5, 6}});
    EXPECT_EQ(failureText([&] { target = m; }),
              "Error in Class:Matrix Function:operator=. Incorrect Matrix sizes for this "
              "operation.");
    expectMatrix(target, {{1, 2}, {3, 4}, {5, 6}});
    target = target;
    expectMatrix(target, {{1, 2}, {3, 4}, {5, 6}});
}

// Sums, products and transpose against hand-computed values; mismatched operands throw.
TEST(Matrix, ArithmeticAndProducts) {
    const Matrix a = fromRows({{1, 2, 3}, {4, 5, 6}});
    const Matrix b = fromRows({{1, 0, 2, -1}, {0, 1, 1, 0}, {2, 1, 0, 3}});
    expectMatrix(a * b, {{7, 5, 4, 8}, {16, 11, 13, 14}});
    expectMatrix(a + a, {{2, 4, 6}, {8, 10, 12}});
    expectMatrix(a - a * 2.0, {{-1, -2, -3}, {-4, -5, -6}});
    expectMatrix(a.transpose(), {{1, 4}, {2, 5}, {3, 6}});
    EXPECT_EQ((a * DoubleVector(std::vector<double>{1, -1, 2})).values(),
              (std::vector<double>{5, 11}));
    EXPECT_EQ(Matrix::vecprod(DoubleVector(std::vector<double>{1, 2}),
                              DoubleVector(std::vector<double>{3, 4})),
              11.0);

    EXPECT_EQ(failureText([&] { a* a; }),
              "Error in Class:Matrix Function:operator*Matrix. Incorrect Matrix sizes for this "
              "operation.");
    EXPECT_EQ(failureText([&] { a* DoubleVector(2, 1.0); }),
              "Error in Class:Matrix Function:operator*vector. Incorrect Matrix/vector size for "
              "this operation.");
    EXPECT_EQ(failureText([&] { a + b; }),
              "Error in Class:Matrix Function:operator+. Incorrect Matrix sizes for this "
              "operation.");
    EXPECT_EQ(failureText([&] { a - b; }),
              "Error in Class:Matrix Function:operator-. Incorrect Matrix sizes for this "
              "operation.");
    EXPECT_EQ(failureText([] { Matrix::vecprod(DoubleVector(2, 1.0), DoubleVector(3, 1.0)); }),
              "Error in Class:Matrix Function:vecprod. Incorrect vector sizes for this "
              "operation.");
}

// Block assembly [[A, B], [C, 0]], and a B too tall for the result.
TEST(Matrix, BlockMatrix) {
    const Matrix A = fromRows({{1, 2}, {3, 4}});
    const Matrix B = fromRows({{5}, {6}});
    const Matrix C = fromRows({{7, 8}});
    expectMatrix(Matrix::blockMatrix(A, B, C), {{1, 2, 5}, {3, 4, 6}, {7, 8, 0}});
    EXPECT_EQ(failureText([&] { Matrix::blockMatrix(A, Matrix(4, 1), C); }),
              "Error in Class:Matrix Function:setEl(i,j). Index out of bounds.");
}
