// `kestrom-sim solve [FILE]`: one allocation, printed as JSON.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "Commands.h"
#include "allocation/EnergyMinimisation.h"
#include "allocation/ReferenceMinimiser.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"
#include "scenario/JsonInput.h"
#include "scenario/SolveProblem.h"

namespace kestrom_sim {

namespace {

int runSolve(const std::string& path, bool reference) {
    SolveProblem problem;
    try {
        const nlohmann::json document = readJsonFile(path);
        problem = parseSolveProblem(JsonField(document, inputName(path)));
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    }
    // Everything the model or the solver throws is the model's verdict on the input.
    std::ostringstream result;
    try {
        Shipobj ship = buildShip(problem);
        allocProblem work;
        const forceMom total =
            solveAllocation(problem.barredAngles, problem.demand, work, ship,
                            reference ? minimizeEnergyReference : minimizeEnergy);
        writeSolveResult(result, total, ship);
    } catch (const std::exception& e) {
        writeSolveError(std::cout, e.what());
        return 1;
    }
    std::cout << result.str();
    return 0;
}

}  // namespace

void addSolveCommand(CLI::App& app, int& status) {
    CLI::App* solve = app.add_subcommand(
        "solve", "Allocate one demand to the thrusters of a problem file and print the result.");
    auto path = std::make_shared<std::string>("-");
    auto reference = std::make_shared<bool>(false);
    solve->add_option("FILE", *path, "problem file (JSON); standard input when absent or -");
    solve->add_flag("--reference", *reference,
                    "use the literal (slow) minimiser; the result must be the same");
    solve->callback([path, reference, &status] { status = runSolve(*path, *reference); });
}

}  // namespace kestrom_sim
