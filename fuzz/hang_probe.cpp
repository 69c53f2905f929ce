// kestrom-hang-probe MODE PROBLEM.json...: times what a channel's worker does with each
// request in turn (the solve, barring when the ship has thrusters of limited rotation, the
// check, then the rescaling or the retry with "Action in Extrema" MODE), on problem files of
// `kestrom-sim solve`, with one solver record for all of them as a channel keeps it. Used to
// measure the worst cases in docs/reliability.md.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "JsonInput.h"
#include "SolveProblem.h"
#include "allocation/ResultChecking.h"
#include "allocation/solveAllocation.h"

using namespace kestrom_sim;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestrom-hang-probe MODE PROBLEM.json...\n");
        return 2;
    }
    const int actionInExtrema = std::atoi(argv[1]);
    allocProblem problem;
    for (int file = 2; file < argc; ++file)
        try {
            std::printf("%s\n", argv[file]);
            const nlohmann::json document = readJsonFile(argv[file]);
            const SolveProblem input = parseSolveProblem(JsonField(document, argv[file]));
            Shipobj ship = buildShip(input);
            std::vector<double> barredAngles = input.barredAngles;
            forceMom demanded = input.demand;
            forceMom generated;
            // As the channel does: a checker per step.
            const auto checker = [&] {
                return ResultChecker(ship, problem, barredAngles, demanded, generated);
            };

            auto start = std::chrono::steady_clock::now();
            generated = solveAllocation(barredAngles, demanded, problem, ship);
            std::printf("solve        %10.6f s\n", secondsSince(start));
            std::printf("barred       %zu thrusters\n", ship.barredThrusters().size());
            if (ship.hasLimitedRotation()) {
                start = std::chrono::steady_clock::now();
                checker().processBarred(demanded);
                std::printf("barring      %10.6f s\n", secondsSince(start));
            }
            if (!checkresult(demanded, generated, 0.01, 0.001)) {
                start = std::chrono::steady_clock::now();
                if (actionInExtrema == 7) {
                    checker().rescale();
                    std::printf("rescale      %10.6f s\n", secondsSince(start));
                } else {
                    const forceMom retry(demanded.fwd, demanded.swd, demanded.rot,
                                         static_cast<double>(actionInExtrema));
                    generated = solveAllocation(barredAngles, retry, problem, ship);
                    if (ship.hasLimitedRotation()) {
                        checker().processBarred(retry);
                    }
                    std::printf("retry        %10.6f s\n", secondsSince(start));
                }
            }
            std::printf("result       %.17g %.17g %.17g energy %.17g\n", generated.fwd,
                        generated.swd, generated.rot, generated.extra);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kestrom-hang-probe: %s\n", e.what());
            return 1;
        }
    return 0;
}
