// Matrix: checked access, element-wise arithmetic, products and block assembly.
#include "mathlib/Matrix.h"

#include <cstddef>
#include <cstdint>

#include "mathlib/FixedTextError.h"

namespace {

[[noreturn]] void throwBadDimensions() {
    throw FixedTextError(
        "Error in Class:Matrix Function:Constructor. Incorrect Matrix dimensions.");
}

[[noreturn]] void throwSetElOutOfRange() {
    throw FixedTextError("Error in Class:Matrix Function:setEl(i,j). Index out of bounds.");
}

}  // namespace

Matrix::Matrix(int rows, int cols) : rows_(rows), cols_(cols) {
    if (rows <= 0 || cols <= 0) {
        throwBadDimensions();
    }
    a_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), 0.0);
}

Matrix::Matrix(int n, double d) : rows_(n), cols_(n) {
    if (n <= 0) {
        throwBadDimensions();
    }
    a_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        at(i, i) = d;
    }
}

Matrix& Matrix::operator=(const Matrix& B) {
    if (B.rows_ != rows_ || B.cols_ != cols_) {
        throw FixedTextError(
            "Error in Class:Matrix Function:operator=. Incorrect Matrix sizes for this operation.");
    }
    if (this != &B) {
        a_ = B.a_;
    }
    return *this;
}

double& Matrix::operator()(int i, int j) {
    if (!inRange(i, j)) {
        throw FixedTextError("Error in Class:Matrix Function:operator(). Index out of bounds.");
    }
    return at(i, j);
}

double Matrix::operator()(int i, int j) const {
    return const_cast<Matrix&>(*this)(i, j);
}

void Matrix::setEl(int i, int j, double x) {
    if (!inRange(i, j)) {
        throwSetElOutOfRange();
    }
    at(i, j) = x;
}

void Matrix::setEl(int i, double x) {
    if (i < 0 || i >= rows_) {
        throw FixedTextError("Error in Class:Matrix Function:setEl(i). Index out of bounds.");
    }
    at(i, 0) = x;
}

DoubleVector Matrix::getRow(int i) const {
    if (i < 0 || i >= rows_) {
        throw FixedTextError("Error in Class:Matrix Function:getRow. Index out of bounds.");
    }
    const auto first = a_.begin() + static_cast<std::ptrdiff_t>(i) * cols_;
    return DoubleVector(std::vector<double>(first, first + cols_));
}

DoubleVector Matrix::getCol(int j) const {
    if (j < 0 || j >= cols_) {
        throw FixedTextError("Error in Class:Matrix Function:getCol. Index out of bounds.");
    }
    std::vector<double> col(static_cast<std::size_t>(rows_));
    for (int i = 0; i < rows_; ++i) {
        col[i] = at(i, j);
    }
    return DoubleVector(std::move(col));
}

void Matrix::setAll(double x) {
    for (double& e : a_) {
        e = x;
    }
}

Matrix Matrix::operator+(const Matrix& B) const {
    if (B.rows_ != rows_ || B.cols_ != cols_) {
        throw FixedTextError(
            "Error in Class:Matrix Function:operator+. Incorrect Matrix sizes for this operation.");
    }
    Matrix R(rows_, cols_);
    for (std::size_t k = 0; k < a_.size(); ++k) {
        R.a_[k] = a_[k] + B.a_[k];
    }
    return R;
}

Matrix Matrix::operator-(const Matrix& B) const {
    if (B.rows_ != rows_ || B.cols_ != cols_) {
        throw FixedTextError(
            "Error in Class:Matrix Function:operator-. Incorrect Matrix sizes for this operation.");
    }
    Matrix R(rows_, cols_);
    for (std::size_t k = 0; k < a_.size(); ++k) {
        R.a_[k] = a_[k] - B.a_[k];
    }
    return R;
}

Matrix Matrix::operator*(const Matrix& B) const {
    if (cols_ != B.rows_) {
        throw FixedTextError(
            "Error in Class:Matrix Function:operator*Matrix. Incorrect Matrix sizes for this "
            "operation.");
    }
    Matrix R(rows_, B.cols_);
    for (int i = 0; i < rows_; ++i) {
        const double* row = a_.data() + static_cast<std::size_t>(i) * cols_;
        for (int j = 0; j < B.cols_; ++j) {
            // Row i of A with column j of B, k ascending, as the row-by-column product.
            const double* col = B.a_.data() + j;
            double acc = 0.0;
            for (int k = 0; k < cols_; ++k) {
                acc += row[k] * col[static_cast<std::size_t>(k) * B.cols_];
            }
            R.at(i, j) = acc;
        }
    }
    return R;
}

DoubleVector Matrix::operator*(const DoubleVector& v) const {
    if (static_cast<unsigned int>(cols_) != v.size()) {
        throw FixedTextError(
            "Error in Class:Matrix Function:operator*vector. Incorrect Matrix/vector size for this "
            "operation.");
    }
    std::vector<double> out(static_cast<std::size_t>(rows_));
    const double* x = v.data();
    for (int i = 0; i < rows_; ++i) {
        const double* row = a_.data() + static_cast<std::size_t>(i) * cols_;
        double acc = 0.0;
        for (int k = 0; k < cols_; ++k) {
            acc += row[k] * x[k];
        }
        out[i] = acc;
    }
    return DoubleVector(std::move(out));
}

Matrix Matrix::operator*(double s) const {
    Matrix R(rows_, cols_);
    for (std::size_t k = 0; k < a_.size(); ++k) {
        R.a_[k] = a_[k] * s;
    }
    return R;
}

Matrix Matrix::transpose() const {
    Matrix R(cols_, rows_);
    for (int i = 0; i < rows_; ++i) {
        for (int j = 0; j < cols_; ++j) {
            R.at(j, i) = at(i, j);
        }
    }
    return R;
}

double Matrix::vecprod(DoubleVector a, DoubleVector b) {
    if (a.size() != b.size()) {
        throw FixedTextError(
            "Error in Class:Matrix Function:vecprod. Incorrect vector sizes for this operation.");
    }
    const double* x = a.data();
    const double* y = b.data();
    double acc = 0.0;
    for (unsigned int k = 0; k < a.size(); ++k) {
        acc += x[k] * y[k];
    }
    return acc;
}

Matrix Matrix::blockMatrix(Matrix A, Matrix B, Matrix C) {
    const std::int64_t rows = static_cast<std::int64_t>(A.rows_) + C.rows_;
    const std::int64_t cols = static_cast<std::int64_t>(A.cols_) + B.cols_;
    if (rows > INT32_MAX || cols > INT32_MAX) {
        throwBadDimensions();
    }
    Matrix R(static_cast<int>(rows), static_cast<int>(cols));
    // B must fit beside A and C below it; R is local, so checking first is equivalent to
    // failing part-way through the copy.
    if (B.rows_ > R.rows_ || C.cols_ > R.cols_) {
        throwSetElOutOfRange();
    }
    for (int i = 0; i < A.rows_; ++i) {
        for (int j = 0; j < A.cols_; ++j) {
            R.at(i, j) = A.at(i, j);
        }
    }
    for (int i = 0; i < B.rows_; ++i) {
        for (int j = 0; j < B.cols_; ++j) {
            R.at(i, A.cols_ + j) = B.at(i, j);
        }
    }
    for (int i = 0; i < C.rows_; ++i) {
        for (int j = 0; j < C.cols_; ++j) {
            R.at(A.rows_ + i, j) = C.at(i, j);
        }
    }
    return R;
}
