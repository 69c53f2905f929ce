// Free-standing numeric routines.
#pragma once

#include "mathlib/DoubleVector.h"
#include "mathlib/Matrix.h"

class Funcs {
  public:
    // Conjugate-gradient solution of A x = b (see conjgradKernel for the stopping rules).
    // Throws when A's row count differs from b's length.
    static DoubleVector conjgrad(const Matrix& A, const DoubleVector& b);
};
