// The general thrust-allocation solver: least total squared thrust under the force and
// moment equations, by a constrained Newton iteration with saturated thrusters frozen.
#pragma once

#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"
#include "mathlib/DoubleVector.h"
#include "mathlib/Matrix.h"

// Writes every thruster's force for problem.demand and marks saturated thrusters in
// problem.frozen. A ship of no thrusters is left untouched. Throws FixedTextError when
// problem.count is negative or exceeds the ship's count or the lengths of barredAngles or
// frozen.
void minimizeEnergy(allocProblem& problem, Shipobj& ship);

// Negative gradient of the energy at X (2n entries); zero for frozen thrusters.
DoubleVector energyGradient(const allocProblem& problem, const DoubleVector& X);

// The 3 x 2n Jacobian of (fwd, swd, rot) with respect to X; zero columns for frozen
// thrusters. Needs at least one thruster (a matrix has at least one column).
Matrix constraintMatrix(const allocProblem& problem, const Shipobj& ship);

// Thrust produced by X minus the demand, with the components the mode does not enforce
// set to 0; extra is 0.
forceMom thrustResidual(const allocProblem& problem, const Shipobj& ship, const DoubleVector& X);
