// The barring search on the ferry's transit demand, as the worker runs it after the first
// solve, with one to four of the azimuths left free for it: each free azimuth that turns
// out barred multiplies the solves by 12.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Ferry.h"
#include "allocation/BarringAndRescaling.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"

namespace {

Shipobj ferryShip() {
    Shipobj ship;
    signed char row = 0;
    for (const ferry::Corner& c : ferry::kCorners) {
        ship.addThruster(Thrusterobj(row++, c.forward, c.sideways, ferry::kLimitedRotation,
                                     ferry::kMaxForce, 0.0, 1.0, c.startAngle, c.startAngle,
                                     ferry::kHalfRange));
    }
    return ship;
}

// range(0) thrusters keep the free entry -1.0 and may be searched, those barred after the
// first solve first; the others are fixed at the centre of their range.
void BarringSearch(benchmark::State& state) {
    const auto depth = static_cast<std::size_t>(state.range(0));
    const forceMom demand(ferry::kFwd, ferry::kSwd, ferry::kRot, 0.0);
    Shipobj ship = ferryShip();
    allocProblem problem;
    std::vector<double> barredAngles(ship.count(), -1.0);
    forceMom generated = solveAllocation(barredAngles, demand, problem, ship);

    std::vector<std::size_t> order;
    for (const std::int32_t i : ship.barredThrusters()) {
        order.push_back(static_cast<std::size_t>(i));
    }
    for (std::size_t i = 0; i < ship.count(); ++i) {
        if (std::find(order.begin(), order.end(), i) == order.end()) {
            order.push_back(i);
        }
    }
    std::vector<double> angles = barredAngles;
    for (std::size_t k = depth; k < order.size(); ++k) {
        // The solver's frame turns the other way: direction 2pi - v.
        angles[order[k]] = kTwoPi - ferry::kCorners[order[k]].startAngle;
    }

    BarringAndRescaling checker(ship, problem, barredAngles, demand, generated);
    const Shipobj start = ship;
    forceMom best;
    for (auto _ : state) {
        Shipobj working = start;
        best = checker.barThruster(demand, working, angles);
        benchmark::DoNotOptimize(best);
    }
    state.counters["fwd"] = best.fwd;
    state.counters["energy"] = best.extra;
}

}  // namespace

BENCHMARK(BarringSearch)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
