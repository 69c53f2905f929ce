// kestrom-hang-probe MODE PROBLEM.json...: times what a channel's worker does with each
// request in turn (the request pipeline with "Action in Extrema" MODE: the solve, barring
// when the ship has thrusters of limited rotation, the check, then the rescaling or the
// retry), on problem files of `kestrom-sim solve`, with one solver record for all of them
// as a channel keeps it. Used to measure the worst cases in docs/reliability.md.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "allocation/BarringAndRescaling.h"
#include "allocation/RequestPipeline.h"
#include "scenario/JsonInput.h"
#include "scenario/SolveProblem.h"

using namespace kestrom_sim;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs step and prints its time under label.
template <class Step>
void timed(const char* label, Step step) {
    const Clock::time_point start = Clock::now();
    step();
    std::printf("%-12s %10.6f s\n", label, secondsSince(start));
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
            const forceMom demanded = raisedDemand(input.demand);
            forceMom generated;
            const RequestState state{ship,     problem,   barredAngles,
                                     demanded, generated, actionInExtrema};
            BarringAndRescaling checker(ship, problem, barredAngles, demanded, generated);
            timed("request", [&] {
                runRequestPipeline(
                    state,
                    [&](const forceMom& demand) {
                        std::printf("barred       %zu thrusters\n", ship.barredThrusters().size());
                        timed("barring", [&] { checker.processBarred(demand); });
                    },
                    meetsDemand, [&] { timed("rescale", [&] { checker.rescale(); }); });
            });
            std::printf("result       %.17g %.17g %.17g energy %.17g\n", generated.fwd,
                        generated.swd, generated.rot, generated.extra);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kestrom-hang-probe: %s\n", e.what());
            return 1;
        }
    return 0;
}
