// The algebra of the minimiser's normal equations on row-major arrays of order N: the
// normal matrix Kt K, its split for the conjugate gradient, and Kt b. Every sum is formed in
// the order of the plain row-by-column products; terms are skipped only where they are a
// signed zero times a finite value, which cannot change a sum that started at +0.0.
#pragma once

#include <cstddef>

#include "SolverWorkspace.h"
#include "mathlib/conjgradKernel.h"

// Offset of element (row, col) in a row-major N x N array.
inline std::size_t at(int row, int col, int N) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(N) +
           static_cast<std::size_t>(col);
}

// Lists the nonzero columns of each row of K; returns whether K is entirely finite.
bool indexRows(const double* K, int N, int* start, int* cols);

// M = Kt K (symmetric bit for bit).
void normalMatrix(const double* K, int N, bool finite, const int* start, const int* cols,
                  double* M);

// Splits M into its diagonal-only rows and the dense block of the others, in ws's buffers.
SymmetricSplit splitNormalMatrix(const double* M, int N, SolverWorkspace& ws);

// out = Kt b.
void transposedProduct(const double* K, int N, bool kFinite, const double* b, const int* start,
                       const int* cols, double* out);
