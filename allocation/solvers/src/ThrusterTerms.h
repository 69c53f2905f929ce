// The minimiser's per-thruster terms on flat arrays: direction terms, the efficiency ramps of
// fixed-direction thrusters, the component mode, the energy gradient, the constraint columns,
// the thrust residual and the force magnitude of the saturation check. X holds the 2n
// variables: X[i] the forward and X[n+i] the sideways component of thruster i.
#pragma once

#include "DirectionTerms.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"

// The terms of the first n entries of problem.barredAngles.
void fillTerms(const allocProblem& problem, int n, DirectionTerms* terms);

// Efficiency of a fixed-direction thruster at signed thrust r and reverse penalty p: the
// open ramp (no upper limit, used in the residual) and the ramp limited at 1 (final forces).
double rampOpen(double r, double p);
double rampLimited(double r, double p);

// The component mode: extra truncated toward zero; anything outside 1..6, NaN included,
// enforces all three components.
int componentMode(double extra);

// g = negative energy gradient at X (2n entries); zero for frozen thrusters.
void gradient(const allocProblem& problem, const DirectionTerms* terms, int n, const double* X,
              double* g);

// Columns i and n+i of the constraint matrix, rows (fwd, swd, rot); zero when frozen.
void constraintColumns(const DirectionTerms& d, bool frozen, double x, double y, double* ci,
                       double* cn);

// Thrust produced by X minus the demand, masked by the component mode; extra is 0.
forceMom residual(const allocProblem& problem, const Shipobj& ship, const DirectionTerms* terms,
                  int n, const double* X);

// Force magnitude of thruster i at X, as the saturation check measures it.
double magnitude(const DirectionTerms& d, int i, int n, const double* X);
