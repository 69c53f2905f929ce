// The solver's work record: one per channel, reloaded by every solve.
#pragma once

#include <vector>

#include "allocation/SolverWorkspace.h"
#include "allocation/forceMom.h"

struct allocProblem {
    forceMom demand;  // extra holds the component mode
    // Fixed direction per thruster in the solver frame; negative or NaN means free.
    std::vector<double> barredAngles;
    std::vector<int> frozen;    // 1 = saturated and frozen in this solve
    int count = 0;              // number of thrusters
    SolverWorkspace workspace;  // the minimiser's reusable buffers
};
