// Allocation-free conjugate-gradient kernel on raw row-major arrays. Funcs::conjgrad and
// the energy minimiser both run on it, so they produce identical results.
#pragma once

#include <vector>

// Structure of a symmetric matrix (A[i][j] and A[j][i] hold the same double): the
// ascending list of its columns that hold any entry other than +0.0 or -0.0.
struct SymmetricPattern {
    const int* cols = nullptr;
    int count = 0;
};

// Scratch vectors of the kernel, owned by the caller and reused across calls; they only grow.
class CgWorkspace {
  public:
    // Makes room for systems of order n.
    void reserve(int n);

  private:
    friend void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                               const SymmetricPattern* pattern);
    std::vector<double> r_, p_, q_, Ap_, Aq_, xBest_;
    std::vector<int> allCols_;  // 0 .. n-1
};

// Solves A x = b by conjugate gradients for A of order n (row-major, n >= 1) and writes
// the n entries of x (which must not overlap b). Stops when the largest residual entry is
// at most 0.001; after 250 iterations it stops at the first step that does not improve on
// the best residual and returns the best x. With a pattern, products run down the columns
// of the symmetric A, several rows at once with each row summed in the same order, and
// skip the all-zero columns whenever the vector multiplied is finite; every sum is the
// same as in the plain row-by-vector product.
void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                    const SymmetricPattern* pattern = nullptr);
