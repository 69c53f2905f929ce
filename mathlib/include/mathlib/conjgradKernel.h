// Allocation-free conjugate-gradient kernel on raw row-major arrays. Funcs::conjgrad and
// the energy minimiser both run on it, so they produce identical results.
#pragma once

#include <cstddef>
#include <memory>

// A symmetric matrix (A[i][j] and A[j][i] hold the same double) split for products with
// finite vectors: the rows whose entries off the diagonal are all +0.0 or -0.0, with their
// diagonal values, and the dense block of the remaining rows and columns. Every entry
// outside the block and off the diagonal is then a signed zero.
struct SymmetricSplit {
    const int* diagRows = nullptr;  // ascending
    const double* diagValues = nullptr;
    int diagCount = 0;
    const int* blockRows = nullptr;  // ascending; the block's rows and columns
    int blockCount = 0;
    // Row c of the block (equal to its column c) starts at block + c * blockStride;
    // blockStride is blockCount rounded up to even, and the padding entries are 0.0.
    const double* block = nullptr;
    int blockStride = 0;
};

// Scratch vectors of the kernel, owned by the caller and reused across calls; they only grow.
class CgWorkspace {
  public:
    CgWorkspace() = default;
    // A copy or a move starts empty: the vectors carry nothing from one call to the next.
    CgWorkspace(const CgWorkspace&) {}
    CgWorkspace& operator=(const CgWorkspace&) { return *this; }
    CgWorkspace(CgWorkspace&&) noexcept {}
    CgWorkspace& operator=(CgWorkspace&&) noexcept { return *this; }
    ~CgWorkspace() = default;

    // Makes room for systems of order n.
    void reserve(int n);

  private:
    friend void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                               const SymmetricSplit* split);
    // r, p, q, A p, A q and the best x, n entries each; uninitialised, as the kernel
    // writes every entry before it reads it.
    std::unique_ptr<double[]> vectors_;
    std::size_t capacity_ = 0;
};

// Solves A x = b by conjugate gradients for A of order n (row-major, n >= 1) and writes
// the n entries of x (which must not overlap b). Stops when the largest residual entry is
// at most 0.001; after 250 iterations it stops at the first step that does not improve on
// the best residual and returns the best x. With a split of the symmetric A, products with
// a finite vector use only the block and the diagonal rows, the block's rows several at a
// time with each row summed in the same order; every sum is the same as in the plain
// row-by-vector product.
void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                    const SymmetricSplit* split = nullptr);
