// The problem format of `solve` and `bench`: one demand, the fixed thruster directions and
// the thrusters, read from JSON; and the result format written by `solve`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/forceMom.h"
#include "scenario/JsonInput.h"

namespace kestrom_sim {

struct SolveProblem {
    forceMom demand;
    std::vector<double> barredAngles;  // one per thruster; -1.0 when the input leaves it out
    std::vector<ThrusterParams> thrusters;
};

// Reads and checks a problem document. Throws InputError naming the key.
SolveProblem parseSolveProblem(const JsonField& document);

// The ship of the problem's thrusters; throws the model's exception for values the model
// rejects (a rotation range outside [-2pi, 2pi], for example).
Shipobj buildShip(const SolveProblem& problem);

// {"total": [fwd, swd, rot, extra], "thrusters": [{"forceX", "forceY", "force",
// "direction", "effectiveAngle"}, ...]} with every number read back exactly.
void writeSolveResult(std::ostream& out, const forceMom& total, const Shipobj& ship);

// {"error": "<text>"}
void writeSolveError(std::ostream& out, const std::string& text);

}  // namespace kestrom_sim
