// Scratch memory of the energy minimiser. The channel's allocProblem holds one so that
// every solve reuses the same buffers; they only grow. It carries nothing from one solve
// to the next, so a copy (or a move) starts empty.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "DirectionTerms.h"
#include "mathlib/conjgradKernel.h"

class SolverWorkspace {
  public:
    SolverWorkspace() = default;
    SolverWorkspace(const SolverWorkspace&) {}
    SolverWorkspace& operator=(const SolverWorkspace&) { return *this; }
    SolverWorkspace(SolverWorkspace&&) noexcept {}
    SolverWorkspace& operator=(SolverWorkspace&&) noexcept { return *this; }
    ~SolverWorkspace() = default;

    // Makes room for n thrusters (systems of order N = 2n + 3) and points the buffers
    // below into it; they stay valid until the next call. All of them share two blocks of
    // memory, so that a fresh record costs few allocations.
    void reserve(int n);

    std::vector<DirectionTerms> terms;  // per thruster
    double* X = nullptr;                // forces, 2n
    double* K = nullptr;                // system matrix, row-major, N x N
    int* kRowStart = nullptr;           // nonzero columns of each row of K, N + 1 ...
    int* kRowCols = nullptr;            // ... and N x N
    double* M = nullptr;                // Kt K, N x N
    int* mDiagRows = nullptr;           // rows of M with nothing off the diagonal, N
    double* mDiagValues = nullptr;      // N
    int* mBlockRows = nullptr;          // the other rows, N ...
    double* mBlock = nullptr;           // ... and M restricted to them, N x (N + 1)
    double* b = nullptr;                // Newton right-hand side, N
    double* rhs = nullptr;              // Kt b, N
    double* S = nullptr;                // step, N
    double* P = nullptr;                // previous step, N
    CgWorkspace cg;

  private:
    // Left uninitialised: the solver writes every entry before it reads it.
    std::unique_ptr<double[]> doubles_;
    std::size_t doubleCapacity_ = 0;
    std::unique_ptr<int[]> ints_;
    std::size_t intCapacity_ = 0;
};
