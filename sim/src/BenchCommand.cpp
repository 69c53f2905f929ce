// `kestrom-sim bench FILE [--repeat N] [--reference]`: times solveAllocation on one problem.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "OptionChecks.h"
#include "allocation/EnergyMinimisation.h"
#include "allocation/ReferenceMinimiser.h"
#include "allocation/allocProblem.h"
#include "allocation/solveAllocation.h"
#include "scenario/JsonInput.h"
#include "scenario/SolveProblem.h"

namespace kestrom_sim {

namespace {

struct BenchOptions {
    std::string path;
    int repeat = 1000;
    bool reference = false;  // time the literal minimiser instead
};

int runBench(const BenchOptions& options) {
    SolveProblem problem;
    try {
        const nlohmann::json document = readJsonFile(options.path);
        problem = parseSolveProblem(JsonField(document, inputName(options.path)));
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    }

    using Clock = std::chrono::steady_clock;
    std::vector<std::int64_t> nanoseconds(static_cast<std::size_t>(options.repeat));
    // Keeps the results observable so that no solve can be optimised away.
    volatile double sink = 0.0;
    try {
        for (std::int64_t& elapsed : nanoseconds) {
            // A solve changes the ship and the work record: each repeat starts from new ones.
            Shipobj ship = buildShip(problem);
            allocProblem work;
            const Clock::time_point start = Clock::now();
            const forceMom total =
                solveAllocation(problem.barredAngles, problem.demand, work, ship,
                                options.reference ? minimizeEnergyReference : minimizeEnergy);
            const Clock::time_point stop = Clock::now();
            elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start).count();
            sink = sink + total.extra;
        }
    } catch (const std::exception& e) {
        writeSolveError(std::cout, e.what());
        return 1;
    }

    std::sort(nanoseconds.begin(), nanoseconds.end());
    std::cerr << "kestrom-sim: " << nanoseconds.size() << " solves, min " << nanoseconds.front()
              << " ns, max " << nanoseconds.back() << " ns\n";
    // The median: for an even count the upper of the two middle values.
    std::cout << nanoseconds[nanoseconds.size() / 2] << '\n';
    return 0;
}

}  // namespace

void addBenchCommand(CLI::App& app, int& status) {
    CLI::App* bench = app.add_subcommand(
        "bench", "Time the allocation of a problem file; print the median ns per solve.");
    auto options = std::make_shared<BenchOptions>();
    bench->add_option("FILE", options->path, "problem file (JSON), - for standard input")
        ->required();
    bench->add_option("--repeat", options->repeat, "number of timed solves")
        ->check(wholeNumberIn(1, 100000000))
        ->capture_default_str();
    bench->add_flag("--reference", options->reference, "time the literal (slow) minimiser");
    bench->callback([options, &status] { status = runBench(*options); });
}

}  // namespace kestrom_sim
