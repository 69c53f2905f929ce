// The solve entry: loads the work record and dispatches to the two-thruster solution or
// the general minimiser.
#include <cstddef>

#include "allocation/EnergyMinimisation.h"
#include "allocation/solveAllocation.h"
#include "allocation/solveTwoThrusters.h"

namespace {

// Whether a two-thruster ship goes to the two-thruster solution: one fixed angle with a
// component mode of at most 3, both fixed, or neither fixed with mode 0. Comparisons are
// written so that a NaN angle counts as free and a NaN mode as at most 3.
bool useTwoThrusterSolution(const allocProblem& problem) {
    const int fixed =
        (problem.barredAngles[0] >= 0.0 ? 1 : 0) + (problem.barredAngles[1] >= 0.0 ? 1 : 0);
    const double extra = problem.demand.extra;
    return (fixed == 1 && !(extra > 3.0)) || fixed == 2 || (fixed == 0 && extra == 0.0);
}

}  // namespace

forceMom solveAllocation(const std::vector<double>& barredAngles, const forceMom& demand,
                         allocProblem& problem, Shipobj& ship) {
    return solveAllocation(barredAngles, demand, problem, ship, minimizeEnergy);
}

forceMom solveAllocation(const std::vector<double>& barredAngles, const forceMom& demand,
                         allocProblem& problem, Shipobj& ship, GeneralMinimiser minimiser) {
    problem.demand = demand;
    problem.barredAngles = barredAngles;
    problem.count = static_cast<int>(ship.count());
    problem.frozen.assign(static_cast<std::size_t>(problem.count), 0);

    // A fixed-angle list too short for the ship is rejected by the minimiser's checks.
    if (problem.count == 2 && problem.barredAngles.size() >= 2 && useTwoThrusterSolution(problem)) {
        solveTwoThrusters(problem, ship);
        return ship.totalForce();
    }
    minimiser(problem, ship);
    return ship.totalForce();
}
