// The solve entry on a problem dict, read by the solve command's parser.
#include "Solve.h"

#include <exception>
#include <string>

#include "PythonJson.h"
#include "allocation/EnergyMinimisation.h"
#include "allocation/ReferenceMinimiser.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"
#include "scenario/JsonInput.h"
#include "scenario/SolveProblem.h"

namespace py = pybind11;

namespace kestrom_python {

namespace {

// Messages name the input as the command line names its file.
constexpr const char* kProblemName = "problem";

py::list thrusterList(const Shipobj& ship) {
    py::list thrusters;
    for (const Thrusterobj& t : ship.thrusters()) {
        py::dict row;
        row["forceX"] = t.forceX();
        row["forceY"] = t.forceY();
        row["force"] = t.force();
        row["direction"] = t.direction();
        row["effectiveAngle"] = t.effectiveAngle();
        thrusters.append(row);
    }
    return thrusters;
}

}  // namespace

py::dict solve(py::handle problem, bool reference) {
    // The problem format carries numbers that are not finite as texts; a Python float of that
    // kind means the same.
    const nlohmann::json document = toJson(problem, kProblemName, NonFinite::text);
    const kestrom_sim::SolveProblem parsed =
        kestrom_sim::parseSolveProblem(kestrom_sim::JsonField(document, kProblemName));
    Shipobj ship;
    forceMom total;
    std::string failure;
    bool failed = false;
    {
        py::gil_scoped_release released;
        // As in the command: whatever the model or the solver throws is its verdict on the input.
        try {
            ship = kestrom_sim::buildShip(parsed);
            allocProblem work;
            total = solveAllocation(parsed.barredAngles, parsed.demand, work, ship,
                                    reference ? minimizeEnergyReference : minimizeEnergy);
        } catch (const std::exception& e) {
            failure = e.what();
            failed = true;
        }
    }
    py::dict result;
    if (failed) {
        result["error"] = failure;
        return result;
    }
    result["total"] = py::list(py::make_tuple(total.fwd, total.swd, total.rot, total.extra));
    result["thrusters"] = thrusterList(ship);
    return result;
}

}  // namespace kestrom_python
