// Dense matrix of doubles with fixed dimensions, checked access and dimension-checked
// arithmetic. Elements live in one row-major array; products sum from 0.0 in index order.
#pragma once

#include <cstddef>
#include <vector>

#include "mathlib/DoubleVector.h"

class Matrix {
  public:
    // rows x cols, all 0; throws unless both are positive.
    Matrix(int rows, int cols);
    // n x n with d on the diagonal; throws unless n is positive.
    Matrix(int n, double d);
    Matrix(const Matrix&) = default;
    // Copies the elements; never resizes, so the dimensions must agree.
    Matrix& operator=(const Matrix& B);

    double& operator()(int i, int j);
    double operator()(int i, int j) const;
    void setEl(int i, int j, double x);
    // Sets element (i, 0).
    void setEl(int i, double x);
    DoubleVector getRow(int i) const;
    DoubleVector getCol(int j) const;
    void setAll(double x);

    Matrix operator+(const Matrix& B) const;
    Matrix operator-(const Matrix& B) const;
    Matrix operator*(const Matrix& B) const;
    DoubleVector operator*(const DoubleVector& v) const;
    Matrix operator*(double s) const;
    Matrix transpose() const;

    static double vecprod(DoubleVector a, DoubleVector b);
    // [[A, B], [C, 0]] with A.rows + C.rows rows and A.cols + B.cols columns.
    static Matrix blockMatrix(Matrix A, Matrix B, Matrix C);

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    // Row-major elements: (i, j) is data()[i * cols() + j].
    const double* data() const { return a_.data(); }
    double* data() { return a_.data(); }

  private:
    bool inRange(int i, int j) const { return i >= 0 && i < rows_ && j >= 0 && j < cols_; }
    double& at(int i, int j) { return a_[static_cast<std::size_t>(i) * cols_ + j]; }
    double at(int i, int j) const { return a_[static_cast<std::size_t>(i) * cols_ + j]; }

    int rows_;
    int cols_;
    std::vector<double> a_;
};
