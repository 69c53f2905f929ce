// Least-energy allocation of a thrust demand to a ship of exactly two thrusters.
#pragma once

#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"

// Writes the forces of thrusters 0 and 1 for problem.demand (fwd, swd, rot): the closed-form
// least-norm split when both thrusters can take it, else the best split found by searching
// the direction of thruster 0 over its rotation range; zero forces when nothing fits.
// Throws FixedTextError when the ship has fewer than two thrusters.
void solveTwoThrusters(allocProblem& problem, Shipobj& ship);
