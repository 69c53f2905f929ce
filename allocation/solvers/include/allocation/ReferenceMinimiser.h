// The literal energy minimiser: the same algorithm as minimizeEnergy, on whole vectors and
// matrices. It is the yardstick the fast minimiser is held to, bit for bit, and users can
// select it (`kestrom-sim solve --reference`) to check a result.
#pragma once

#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"

// Same contract as minimizeEnergy, for a consistent record (problem.count thrusters, that
// many fixed angles and frozen flags).
void minimizeEnergyReference(allocProblem& problem, Shipobj& ship);
