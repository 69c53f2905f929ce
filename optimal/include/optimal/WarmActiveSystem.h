// The optimality conditions of a QP with a guessed active set: with the warm inequalities W
// held as equalities beside E, x = H^-1 (E' y + W' mu - g) where
//
//   [E H^-1 E'  E H^-1 W'] [y ]   [e + E H^-1 g]
//   [W H^-1 E'  W H^-1 W'] [mu] = [w + W H^-1 g].
//
// H is diagonal and each warm row names one or two variables, so W H^-1 W' is block diagonal
// (a block per pair of rows that share a variable): the blocks are eliminated into the
// equalities' Schur complement S = E H^-1 E' - B' D^-1 B (B = W H^-1 E', D = W H^-1 W'), which
// is factored as L diag(d) L'. The system is a few dozen rows at most: plain loops over
// buffers kept between solves, nothing allocated once they have grown.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "optimal/QpProblem.h"

namespace optimal {

class WarmActiveSystem {
  public:
    // The terms that depend on H, g and E alone: computed once for every warm list tried on
    // one problem.
    void prepare(const QpProblem& problem);
    // Solves for the multipliers (y, then mu in the order of `warm`) of the prepared problem.
    // False when a row has more than one partner, a pair names more than two variables, or a
    // pivot is below 1e-10 of the largest (or of 1): dependent rows, left to the iteration.
    bool solve(const QpProblem& problem, const std::vector<int>& warm);
    // The multipliers of the last solve: y then mu.
    const std::vector<double>& multipliers() const { return lambda_; }
    // x = H^-1 (E' y + W' mu - g) from the last solve.
    void point(const QpProblem& problem, const std::vector<int>& warm, Eigen::VectorXd& x) const;

  private:
    bool pairRows(const QpProblem& problem, const std::vector<int>& warm);
    double blockEntry(const PairConstraint& c, const PairConstraint& d) const;
    bool eliminateBlocks(const QpProblem& problem, const std::vector<int>& warm);
    bool factorSchurComplement();
    void solveSchurComplement();

    int n_ = 0;
    int meq_ = 0;
    int q_ = 0;
    // Row-major: WH_ is meq x n, EHE_ and S_ meq x meq, B_ and DinvB_ q x meq.
    std::vector<double> hInverse_, WH_, EHE_, equalityRhs_;
    // Per variable the first warm row naming it; per warm row its partner (-1: none, -2: the
    // second of a pair).
    std::vector<int> firstNaming_, partner_;
    std::vector<double> B_, DinvB_, warmRhs_, DinvRhs_, pivots_, S_, schurRhs_, lambda_;
};

}  // namespace optimal
