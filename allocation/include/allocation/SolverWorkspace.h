// Scratch memory of the energy minimiser. It lives in the channel's allocProblem so that
// every solve reuses the same buffers; they only grow. It carries nothing from one solve
// to the next, so a copy starts empty.
#pragma once

#include <vector>

#include "mathlib/conjgradKernel.h"

// How a thruster's force is carried by the variables, from its fixed angle v.
enum class ThrusterKind { free, forwardCarried, sidewaysCarried };

// Kind and trigonometric values of a thruster's fixed angle (all 0 for a free thruster).
struct DirectionTerms {
    ThrusterKind kind = ThrusterKind::free;
    double cosv = 0.0;
    double sinv = 0.0;
    double tanv = 0.0;
};

class SolverWorkspace {
  public:
    SolverWorkspace() = default;
    SolverWorkspace(const SolverWorkspace&) {}
    SolverWorkspace& operator=(const SolverWorkspace&) { return *this; }
    SolverWorkspace(SolverWorkspace&&) noexcept = default;
    SolverWorkspace& operator=(SolverWorkspace&&) noexcept = default;
    ~SolverWorkspace() = default;

    // Makes room for n thrusters (systems of order 2n + 3).
    void reserve(int n);

    std::vector<DirectionTerms> terms;  // per thruster
    std::vector<double> X;              // forces, 2n
    std::vector<double> K;              // system matrix, row-major, order N = 2n + 3
    std::vector<int> kColStart;         // nonzero rows of each column of K
    std::vector<int> kColRows;
    std::vector<double> M;    // Kt K
    std::vector<int> mCols;   // columns of M with a nonzero entry
    std::vector<double> b;    // Newton right-hand side
    std::vector<double> rhs;  // Kt b
    std::vector<double> S;    // step
    std::vector<double> P;    // previous step
    CgWorkspace cg;
};
