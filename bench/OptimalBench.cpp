// Time of one optimal allocation, without the thread hand-over, beside the default allocator
// on the same requests (the channel's own steps: the request pipeline). Each benchmark runs a
// fixed list of requests once, times every request on its own and reports the median, the 99th
// percentile and the largest time (counters, in microseconds), and the share of requests met.
//
// - cold: random demands, most of them feasible (built from settings inside the attainable
//   sets), some beyond capacity; the optimal allocator forgets every request.
// - warm: a slowly turning demand with a little noise, as a dynamic-positioning controller
//   asks; the allocator keeps its state.
//
// Vessels: the examples (ferry: 4 two-sector rows, supply vessel: 2, drillship, a supply
// vessel with fixed mains and tunnels) and four seeded 10-row vessels with 6 two-sector rows.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "allocation/AttainableSet.h"
#include "allocation/Publication.h"
#include "allocation/RequestPipeline.h"
#include "allocation/RequestVerdict.h"
#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterRow.h"
#include "optimal/OptimalAllocator.h"
#include "scenario/ChannelRows.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"

namespace {

constexpr double kTruePi = 3.14159265358979323846;
constexpr int kRequests = 2000;

std::vector<ThrusterRow> scenarioRows(const std::string& file) {
    const std::string path = std::string(KESTROM_SOURCE_DIR) + "/examples/" + file;
    const nlohmann::json document = kestrom_sim::readJsonFile(path);
    return kestrom_sim::channelRows(
        kestrom_sim::parseScenario(kestrom_sim::JsonField(document, path), file, false));
}

// Ten rows: six azimuths turning within 20 to 70 degrees either side, two free azimuths and
// two tunnels; the seed draws the maxima, start angles and ranges.
std::vector<ThrusterRow> tenRows(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<ThrusterRow> rows(10);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ThrusterRow& r = rows[i];
        r.active = 1;
        r.position[0] = static_cast<float>(i % 2 == 0 ? 6.0 : -6.0);
        r.position[2] = static_cast<float>(-40.0 + 8.0 * static_cast<double>(i));
        r.maxForce = static_cast<float>(200000.0 + 400000.0 * unit(rng));
        r.startAngle = static_cast<float>(2.0 * kTruePi * unit(rng));
        r.angle = r.startAngle;
        r.type = i < 6 ? 2 : (i < 8 ? 0 : 1);
        r.maxRotation = static_cast<float>(i < 6 ? 0.35 + 0.85 * unit(rng) : 3.14159265358);
        if (i >= 8) {
            r.startAngle = static_cast<float>(kTruePi / 2.0);
            r.reversePenalty = 0.8f;
        }
    }
    return rows;
}

struct Vessel {
    std::vector<ThrusterRow> rows;
    Shipobj ship;
};

Vessel vessel(std::vector<ThrusterRow> rows) {
    Vessel v;
    v.rows = std::move(rows);
    v.ship = activeRowsShip(v.rows);
    return v;
}

// Demands from settings inside the attainable sets at up to `share` of each maximum (above 1:
// some beyond capacity).
std::vector<forceMom> randomDemands(const Shipobj& ship, double share) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<forceMom> demands;
    for (int k = 0; k < kRequests; ++k) {
        forceMom d;
        for (const Thrusterobj& t : ship.thrusters()) {
            const AttainableSet set = attainableSet(t);
            double angle = 2.0 * kTruePi * unit(rng);
            if (set.shape == AttainableSet::Shape::segment) {
                angle = set.angle + (unit(rng) < 0.5 ? 0.0 : kTruePi);
            } else if (set.shape == AttainableSet::Shape::doubleSector) {
                angle = set.angle + set.halfWidth * (2.0 * unit(rng) - 1.0) +
                        (unit(rng) < 0.5 ? 0.0 : kTruePi);
            }
            const double f = share * set.maxForce * unit(rng);
            const forceMom one =
                shipThrust(f * std::cos(angle), f * std::sin(angle), t.posX(), t.posY());
            d.fwd += one.fwd;
            d.swd += one.swd;
            d.rot += one.rot;
        }
        demands.push_back(d);
    }
    return demands;
}

std::vector<forceMom> turningDemands(const Shipobj& ship) {
    double total = 0.0;
    double arm = largestArm(ship);
    for (const Thrusterobj& t : ship.thrusters()) {
        total += t.maxForce();
    }
    std::mt19937 rng(4);
    std::normal_distribution<double> noise(0.0, 0.01);
    std::vector<forceMom> demands;
    for (int k = 0; k < kRequests; ++k) {
        const double a = 2.0 * kTruePi * k / kRequests;
        demands.emplace_back(total * (0.3 * std::cos(a) + noise(rng)),
                             total * (0.2 * std::sin(a) + noise(rng)),
                             total * arm * (0.02 * std::sin(5.0 * a) + 0.1 * noise(rng)), 0.0);
    }
    return demands;
}

void report(benchmark::State& state, std::vector<double>& micros, int met) {
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
    state.counters["met"] = static_cast<double>(met) / static_cast<double>(micros.size());
}

// This thread's processor time in microseconds: the scheduler's waits left out.
double threadMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1e6 * static_cast<double>(t.tv_sec) + 1e-3 * static_cast<double>(t.tv_nsec);
}

template <typename Allocate>
void timeEach(benchmark::State& state, const std::vector<forceMom>& demands, Allocate allocate) {
    std::vector<double> micros;
    micros.reserve(demands.size());
    int met = 0;
    double cpuMax = 0.0;
    std::size_t k = 0;
    for (auto _ : state) {
        const double cpuStart = threadMicros();
        const auto start = std::chrono::steady_clock::now();
        const bool wasMet = allocate(demands[k]);
        const auto stop = std::chrono::steady_clock::now();
        cpuMax = std::max(cpuMax, threadMicros() - cpuStart);
        micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
        met += wasMet ? 1 : 0;
        ++k;
    }
    report(state, micros, met);
    state.counters["cpu_max_us"] = cpuMax;  // the largest without the machine's load
}

void optimalRun(benchmark::State& state, const Vessel& v, const std::vector<forceMom>& demands,
                bool cold) {
    optimal::OptimalAllocator allocator;
    double nodes = 0.0, solves = 0.0, iterations = 0.0, mostSolves = 0.0;
    timeEach(state, demands, [&](const forceMom& d) {
        if (cold) {
            allocator.reset();
        }
        const optimal::OptimalAllocation a = allocator.allocate(v.ship, d);
        benchmark::DoNotOptimize(a.power);
        nodes += a.stats.nodes, solves += a.stats.qpSolves, iterations += a.stats.qpIterations;
        mostSolves = std::max(mostSolves, static_cast<double>(a.stats.qpSolves));
        return a.met;
    });
    // Means per request, and the most QP solves one took: where the time goes (the largest
    // times are the scheduler's on a loaded machine).
    const double count = static_cast<double>(demands.size());
    state.counters["nodes"] = nodes / count;
    state.counters["qp_solves"] = solves / count;
    state.counters["qp_iterations"] = iterations / count;
    state.counters["qp_solves_max"] = mostSolves;
}

void defaultRun(benchmark::State& state, const Vessel& v, const std::vector<forceMom>& demands) {
    allocProblem problem;
    const double arm = largestArm(v.ship);
    timeEach(state, demands, [&](const forceMom& d) {
        // The request as the channel computes it: the table's rows, the raised demand, the
        // pipeline, the published rows.
        Shipobj ship;
        std::vector<double> barred(v.rows.size(), kFreeDirection);
        for (std::size_t i = 0; i < v.rows.size(); ++i) {
            if (isActiveRow(v.rows[i].active)) {
                addThrusterRow(static_cast<int>(i), v.rows[i], ship, barred);
            }
        }
        const forceMom demand = raisedDemand(d);
        forceMom generated;
        runRequestPipeline(RequestState{ship, problem, barred, demand, generated,
                                        pipeline::kDefaultActionInExtrema});
        const forceMom table = publishedThrust(ship, publishedRows(ship));
        benchmark::DoNotOptimize(table.fwd);
        return judgeThrust(d, table, arm, optimal::kMetTolerance).met;
    });
}

// The default allocator searches 12^k directions for k barred rows: seconds per request on the
// larger vessels, so it gets the first `defaultRequests` requests only.
void registerVessel(const std::string& name, const Vessel& v, int defaultRequests) {
    // Deques: registered benchmarks hold pointers into them.
    static std::deque<std::vector<forceMom>> keep;
    keep.push_back(randomDemands(v.ship, 1.1));
    const std::vector<forceMom>* cold = &keep.back();
    keep.push_back(turningDemands(v.ship));
    const std::vector<forceMom>* warm = &keep.back();
    static std::deque<Vessel> vessels;
    vessels.push_back(v);
    const Vessel* held = &vessels.back();
    benchmark::RegisterBenchmark(("Optimal_Cold/" + name).c_str(), [=](benchmark::State& s) {
        optimalRun(s, *held, *cold, true);
    })->Iterations(kRequests);
    benchmark::RegisterBenchmark(("Default_Cold/" + name).c_str(), [=](benchmark::State& s) {
        defaultRun(s, *held, *cold);
    })->Iterations(defaultRequests);
    benchmark::RegisterBenchmark(("Optimal_Warm/" + name).c_str(), [=](benchmark::State& s) {
        optimalRun(s, *held, *warm, false);
    })->Iterations(kRequests);
    benchmark::RegisterBenchmark(("Default_Warm/" + name).c_str(), [=](benchmark::State& s) {
        defaultRun(s, *held, *warm);
    })->Iterations(defaultRequests);
}

}  // namespace

int main(int argc, char** argv) {
    registerVessel("ferry", vessel(scenarioRows("ferry.json")), 20);
    registerVessel("supply_vessel", vessel(scenarioRows("supply-vessel.json")), 200);
    registerVessel("mss_supply", vessel(scenarioRows("mss-supply.json")), kRequests);
    registerVessel("drillship", vessel(scenarioRows("drillship.json")), kRequests);
    registerVessel("ten_rows_six_sectors", vessel(tenRows(7)), 3);
    // More draws of the same kind: the time varies with the vessel more than with anything else.
    for (const unsigned seed : {1u, 2u, 3u}) {
        registerVessel("ten_rows_seed_" + std::to_string(seed), vessel(tenRows(seed)), 1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
