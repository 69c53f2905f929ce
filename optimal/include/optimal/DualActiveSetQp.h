// A dense dual active-set solver of the Goldfarb-Idnani family for the small convex QPs of the
// optimal allocator:
//
//   minimise 1/2 x' diag(h) x + g' x   subject to   E x = e,   a_j' x <= b_j (j = 0..m-1),
//
// with h > 0 and every inequality touching one or two variables (a row's polygon edge or a
// bound). It starts from the unconstrained minimum (or from a given active set), adds the
// most violated inequality at a time and keeps the factors J = L^-T Q and R up to date with
// Givens rotations. A constraint whose normal depends linearly on the active ones is detected
// (no primal step) and handled by a step in the multipliers alone, which drops an active
// constraint instead. Deterministic: no clocks, ties go to the lowest index, and a fixed
// iteration cap ends the search.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "optimal/QpProblem.h"
#include "optimal/WarmActiveSystem.h"

namespace optimal {

enum class QpStatus {
    optimal,
    infeasible,    // no x satisfies every constraint
    iterationCap,  // stopped at the cap: x meets the active constraints, maybe not the others
};

struct QpResult {
    QpStatus status = QpStatus::infeasible;
    Eigen::VectorXd x;
    double objective = 0.0;
    // Active inequalities (indexes into QpProblem::inequalities) in the order they were
    // added, for a warm start of the next solve.
    std::vector<int> active;
    // Multipliers: E' y + sum_k mu_k a_active[k] = -(diag(h) x + g) at the optimum, mu >= 0
    // (the inactive inequalities' are 0); a linearly dependent equality gets 0.
    Eigen::VectorXd equalityMultipliers;
    std::vector<double> activeMultipliers;  // mu_k, one per entry of `active`
    int iterations = 0;                     // constraints added or dropped
};

// More than any regular solve of the allocator needs (a few dozen for 20 variables).
inline constexpr int kQpDefaultIterationCap = 200;

class DualActiveSetQp {
  public:
    explicit DualActiveSetQp(int iterationCap = kQpDefaultIterationCap);

    // Solves the problem; warmActive lists inequalities expected active (indexes out of range,
    // outside the blocks or repeated are ignored). When the list (even an empty one), held as
    // equalities with the equalities, already gives a point that meets every constraint with
    // multipliers of the right sign, that point is the optimum and is returned at once (0
    // iterations). Otherwise the list is changed up to 3 times (the constraint of the wrong
    // multiplier dropped, or the most violated one added; an iteration each) and checked again.
    // Failing that, the listed constraints are made active first and dropped again while their
    // multipliers are negative. Either way any list gives the same optimum as a cold start.
    void solve(const QpProblem& problem, const std::vector<int>& warmActive, QpResult& result);

  private:
    bool warmSetIsOptimal(const QpProblem& problem, const std::vector<int>& warm, QpResult& result);
    bool repairWarmSet(const QpProblem& problem, std::vector<int>& warm, QpResult& result);
    bool start(const QpProblem& problem, const std::vector<int>& warm, QpResult& result);
    bool addEqualities(const QpProblem& problem, QpResult& result);
    void normal(const QpProblem& problem, int id);
    double slack(const QpProblem& problem, int id) const;
    void stepDirections();
    bool isDependent() const;
    void addToFactors();
    void dropFromFactors(int position);
    int mostViolated(const QpProblem& problem, double& violation) const;
    void finish(const QpProblem& problem, QpStatus status, QpResult& result);

    int iterationCap_;
    int n_ = 0;
    int meq_ = 0;
    int iq_ = 0;                // active constraints, equalities first
    int activeEqualities_ = 0;  // equalities in the active set (dependent ones are left out)
    Eigen::MatrixXd J_;
    Eigen::MatrixXd R_;
    Eigen::VectorXd x_, np_, d_, z_, r_, u_;
    int pair_[2] = {-1, -1};  // the variables of an inequality's normal; -1: dense normal
    std::vector<int> warm_;   // the warm list without repeats
    // Why the last warm check failed: a warm position whose multiplier has the wrong sign, or
    // the most violated inequality (-1: neither).
    int dropPosition_ = -1;
    int addInequality_ = -1;
    std::vector<int> A_;  // active ids: equality i is i, inequality j is meq + j
    // The active inequalities, cleared at once however long the list: j is marked while its
    // stamp is the current one.
    class ActiveMarks {
      public:
        void clear(std::size_t size);
        void mark(int j) { stamps_[static_cast<std::size_t>(j)] = stamp_; }
        void unmark(int j) { stamps_[static_cast<std::size_t>(j)] = 0; }
        bool marked(int j) const { return stamps_[static_cast<std::size_t>(j)] == stamp_; }

      private:
        std::vector<unsigned> stamps_;
        unsigned stamp_ = 0;
    };
    ActiveMarks active_;
    WarmActiveSystem warmSystem_;
};

}  // namespace optimal
