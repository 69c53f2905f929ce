// solveAllocation on representative ships: the two-thruster solution (closed form and
// direction search) and the general minimiser on 4, 6 and 10 thrusters, with and without
// saturation and fixed directions. Every iteration solves a fresh copy of a prepared ship
// (the solver overwrites the start forces); the copy is inside the timed region and is
// measured on its own by the ShipCopy benchmark. The work record is reused, as the
// channel reuses its own.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"

namespace {

struct Layout {
    Shipobj ship;
    std::vector<double> angles;
    forceMom demand;
    int expectedFrozen = 0;  // checked once before timing
};

struct Spot {
    double x;
    double y;
    double maxForce;
};

Layout azimuths(const std::vector<Spot>& spots, forceMom demand, int expectedFrozen) {
    Layout l;
    signed char row = 0;
    for (const Spot& s : spots) {
        // Type 0: never barred; a small start force pointing ahead.
        l.ship.addThruster(Thrusterobj(row++, s.x, s.y, 0, s.maxForce, 5.0, 1.0, 0.3, 0.0, 3.2));
        l.angles.push_back(-1.0);
    }
    l.demand = demand;
    l.expectedFrozen = expectedFrozen;
    return l;
}

const forceMom kDemand(60.0, 30.0, 400.0, 0.0);

Layout fourAzimuths(double maxFront) {
    return azimuths({{40, 5, maxFront}, {40, -5, maxFront}, {-40, 8, 100}, {-40, -8, 100}}, kDemand,
                    maxFront < 100 ? 2 : 0);
}

Layout sixAzimuths(double maxFront) {
    return azimuths({{45, 6, maxFront},
                     {45, -6, maxFront},
                     {0, 9, 100},
                     {0, -9, 100},
                     {-45, 6, 100},
                     {-45, -6, 100}},
                    kDemand, maxFront < 100 ? 2 : 0);
}

std::vector<Spot> tenSpots(double maxAft) {
    return {{50, 4, 100}, {50, -4, 100},    {30, 6, 100},      {30, -6, 100},    {0, 9, 100},
            {0, -9, 100}, {-30, 6, maxAft}, {-30, -6, maxAft}, {-50, 4, maxAft}, {-50, -4, maxAft}};
}

Layout tenFree() {
    return azimuths(tenSpots(100), forceMom(150, 80, 2000, 0), 0);
}

Layout tenSaturating() {
    return azimuths(tenSpots(10), forceMom(150, 80, 2000, 0), 4);
}

// Two fixed mains (forward-carried) and two fixed tunnels (sideways-carried), as the
// channel sends them: 2pi minus the start angle.
Layout tenFixed() {
    Layout l = azimuths(tenSpots(100), forceMom(150, 80, 2000, 0), 0);
    l.angles[6] = kTwoPi - kHalfPi;
    l.angles[7] = kTwoPi - kHalfPi;
    l.angles[8] = kTwoPi;
    l.angles[9] = kTwoPi;
    return l;
}

Layout twoClosedForm() {
    return azimuths({{-30, 5, 100}, {-30, -5, 100}}, forceMom(50, 20, 100, 0), 0);
}

// Limited-rotation thrusters that cannot take the closed-form directions of a mostly
// sideways demand, so the direction search over thruster 0's range decides.
Layout twoDirectionSearch() {
    Layout l;
    l.ship.addThruster(Thrusterobj(0, -30, 5, 2, 100, 0.0, 1.0, 0.0, 0.0, 2.5));
    l.ship.addThruster(Thrusterobj(1, -30, -5, 2, 100, 0.0, 1.0, 0.0, 0.0, 0.5));
    l.angles = {-1.0, -1.0};
    l.demand = forceMom(10, 60, 50, 0);
    return l;
}

void solveLoop(benchmark::State& state, const Layout& layout) {
    allocProblem problem;
    {
        Shipobj check = layout.ship;
        solveAllocation(layout.angles, layout.demand, problem, check);
        int frozen = 0;
        for (int f : problem.frozen) {
            frozen += f;
        }
        if (frozen != layout.expectedFrozen) {
            state.SkipWithError(("expected " + std::to_string(layout.expectedFrozen) +
                                 " saturated thrusters, got " + std::to_string(frozen))
                                    .c_str());
            return;
        }
    }
    for (auto _ : state) {
        Shipobj ship = layout.ship;
        benchmark::DoNotOptimize(solveAllocation(layout.angles, layout.demand, problem, ship));
    }
    state.SetLabel("incl. ship copy");
}

void ShipCopy(benchmark::State& state) {
    const Layout layout = tenFree();
    for (auto _ : state) {
        Shipobj ship = layout.ship;
        benchmark::DoNotOptimize(ship);
    }
}

}  // namespace

BENCHMARK_CAPTURE(solveLoop, TwoThrusters_ClosedForm, twoClosedForm());
BENCHMARK_CAPTURE(solveLoop, TwoThrusters_DirectionSearch, twoDirectionSearch());
BENCHMARK_CAPTURE(solveLoop, FourAzimuths_NoneSaturate, fourAzimuths(100));
BENCHMARK_CAPTURE(solveLoop, FourAzimuths_TwoSaturate, fourAzimuths(15));
BENCHMARK_CAPTURE(solveLoop, SixAzimuths_NoneSaturate, sixAzimuths(100));
BENCHMARK_CAPTURE(solveLoop, SixAzimuths_TwoSaturate, sixAzimuths(10));
BENCHMARK_CAPTURE(solveLoop, TenThrusters_Free, tenFree());
BENCHMARK_CAPTURE(solveLoop, TenThrusters_FourFixed, tenFixed());
BENCHMARK_CAPTURE(solveLoop, TenThrusters_FourSaturate, tenSaturating());
BENCHMARK(ShipCopy);

BENCHMARK_MAIN();
