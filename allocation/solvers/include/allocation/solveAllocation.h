// The one entry into the thrust-allocation solver.
#pragma once

#include <vector>

#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"

// The fixed-direction entry that leaves a thruster's direction to the solver. Any value of 0
// or more fixes the direction; barring fixes only entries that hold exactly this value.
inline constexpr double kFreeDirection = -1.0;

// Loads problem with the demand, the fixed directions (one per thruster, negative or NaN
// for free) and the ship's count, lets the two-thruster solution or the general minimiser
// write the forces into the ship, and returns ship.totalForce().
forceMom solveAllocation(const std::vector<double>& barredAngles, const forceMom& demand,
                         allocProblem& problem, Shipobj& ship);

// The general minimiser solveAllocation hands ships to: minimizeEnergy, or the literal
// minimizeEnergyReference for checking it.
using GeneralMinimiser = void (*)(allocProblem& problem, Shipobj& ship);

forceMom solveAllocation(const std::vector<double>& barredAngles, const forceMom& demand,
                         allocProblem& problem, Shipobj& ship, GeneralMinimiser minimiser);
