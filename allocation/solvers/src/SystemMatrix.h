// The minimiser's system matrix K = [[H, -At], [A, 0]] of order 2n + 3: H the energy
// matrix, A the constraint matrix of the three force and moment equations.
#pragma once

#include "DirectionTerms.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"

// Writes K, row-major, for the n thrusters (frozen flags as they stand).
void assembleK(const allocProblem& problem, const Shipobj& ship, const DirectionTerms* terms, int n,
               double* K);
