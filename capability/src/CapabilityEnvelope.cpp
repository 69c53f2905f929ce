// The envelope: the physical limits first (GLPK, one thread), then each direction's grid of
// magnitudes through the channel's own request cycle, with the default and with the optimal
// allocator, on worker threads, each with its own solver work record. Every direction is
// computed alone, so the results do not depend on the number of threads.
#include "capability/CapabilityEnvelope.h"
#include "scenario/TruePi.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "allocation/RequestCycle.h"
#include "capability/PhysicalLimit.h"
#include "scenario/AllocatorKind.h"
#include "scenario/NumberText.h"
#include "scenario/ScenarioTable.h"

namespace kestrom_sim {

namespace {

constexpr double kPi = kTruePi;
constexpr double kDegree = kPi / 180.0;

void checkOptions(const CapabilityOptions& options) {
    if (options.directions < 1 || options.directions > kMaxDirections) {
        throw CapabilityInputError("--directions",
                                   "expected 1 to " + std::to_string(kMaxDirections));
    }
    if (!(options.stepPercent >= kMinStepPercent && options.stepPercent <= 100.0)) {
        throw CapabilityInputError(
            "--step", "expected a percentage from " + roundTripText(kMinStepPercent) + " to 100");
    }
    if (options.threads > maxCapabilityThreads()) {
        throw CapabilityInputError(
            "--threads", "expected at most " + std::to_string(maxCapabilityThreads()) + " (" +
                             std::to_string(kThreadsPerCore) + " per core), or 0 for one per core");
    }
    if (!std::isfinite(options.moment)) {
        throw CapabilityInputError("--moment", "expected a finite number");
    }
    if (!(options.tolerance > 0.0 && options.tolerance < 1.0)) {
        throw CapabilityInputError("--tolerance", "expected a share above 0 and below 1");
    }
}

// The thrust of the table the channel publishes for demand as the first request on the
// scenario's table, with `allocator`; zero when the computation failed (the shutdown zeroes
// every force).
forceMom publishedTableThrust(const Scenario& scenario, const Demand& demand, allocProblem& problem,
                              RequestMembers& request, Allocator& allocator) {
    Scenario table = scenario;
    LinkOutputs outputs;
    ScenarioTable links(table, outputs, demand);
    RequestCycle cycle(links, request.with(problem), allocator);
    runRequest(cycle);
    if (outputs.error != 0.0f) {
        return forceMom();
    }
    return publishedThrust(request.ship, allocator.rowsToPublish(request.ship));
}

// The largest grid magnitude up to which every one is met, and those met above the first miss.
struct GridLimit {
    std::optional<double> limit;
    std::vector<double> metAbove;
};

// Judges the grid of one direction, whose physical limit is already known, each magnitude as
// the first request of a new channel.
GridLimit gridLimit(const Scenario& scenario, const CapabilityOptions& options,
                    allocProblem& problem, const DirectionCapability& direction,
                    CycleAllocator& allocator) {
    const int steps = static_cast<int>(std::floor(100.0 / options.stepPercent + 1e-9));
    GridLimit grid;
    bool missed = false;
    for (int k = 0; k <= steps; ++k) {
        const double magnitude = direction.physical * (k * options.stepPercent / 100.0);
        const Demand demand = capabilityDemand(direction.angle, magnitude, options.moment);
        RequestMembers request;
        allocator.reset();
        const forceMom thrust =
            publishedTableThrust(scenario, demand, problem, request, allocator.get());
        const forceMom asked(demand[0], demand[1], demand[2], 0.0);
        const bool met =
            judgeThrust(asked, thrust, largestArm(request.ship), options.tolerance).met;
        if (met && !missed) {
            grid.limit = magnitude;
        } else if (met) {
            grid.metAbove.push_back(magnitude);
        } else {
            missed = true;
        }
    }
    return grid;
}

void allocationLimits(const Scenario& scenario, const CapabilityOptions& options,
                      allocProblem& problem, DirectionCapability& direction) {
    CycleAllocator standard(AllocatorKind::standard);
    GridLimit grid = gridLimit(scenario, options, problem, direction, standard);
    direction.allocation = grid.limit;
    direction.metAbove = std::move(grid.metAbove);
    CycleAllocator optimal(AllocatorKind::optimal);
    direction.optimal = gridLimit(scenario, options, problem, direction, optimal).limit;
}

}  // namespace

unsigned maxCapabilityThreads() {
    return kThreadsPerCore * std::max(1u, std::thread::hardware_concurrency());
}

Shipobj channelShip(const Scenario& scenario) {
    const TableRequest request = tableRequest(scenario, Demand{});
    Shipobj ship;
    std::vector<double> barredAngles(request.rows.size(), kFreeDirection);
    for (std::size_t row = 0; row < request.rows.size(); ++row) {
        if (!isActiveRow(request.rows[row].active)) {
            continue;
        }
        try {
            addThrusterRow(static_cast<int>(row), request.rows[row], ship, barredAngles);
        } catch (const std::exception& error) {
            throw CapabilityInputError(
                "rows[" + std::to_string(row) + "]",
                std::string("the thruster model rejects it: ") + error.what());
        }
    }
    return ship;
}

Demand capabilityDemand(double degrees, double magnitude, double moment) {
    return {magnitude * std::cos(degrees * kDegree), magnitude * std::sin(degrees * kDegree),
            moment};
}

CapabilityEnvelope capabilityEnvelope(const Scenario& scenario, const CapabilityOptions& options) {
    checkOptions(options);
    const Shipobj ship = channelShip(scenario);
    CapabilityEnvelope envelope;
    envelope.moment = options.moment;
    std::optional<PhysicalLimit> reach;
    try {
        reach.emplace(thrusterReaches(ship));
    } catch (const std::invalid_argument& error) {
        throw CapabilityInputError("rows", error.what());
    }
    PhysicalLimit& physical = *reach;
    const auto unsolved = [](const std::string& question, const PhysicalLimitFailure& failure) {
        return CapabilityInputError(
            "rows", "the physical limit " + question +
                        " cannot be computed for these thrusters: " + failure.what());
    };
    try {
        if (!physical.holds(options.moment)) {
            throw CapabilityInputError("--moment",
                                       "the thrusters cannot hold this yaw moment even without "
                                       "any force");
        }
    } catch (const PhysicalLimitFailure& failure) {
        throw unsolved("at this moment", failure);
    }
    for (int k = 0; k < options.directions; ++k) {
        DirectionCapability direction;
        direction.angle = 360.0 * k / options.directions;
        // A held moment leaves t = 0 feasible in every direction.
        std::optional<double> limit;
        try {
            limit = physical.largest(direction.angle * kDegree, options.moment);
        } catch (const PhysicalLimitFailure& failure) {
            throw unsolved("at " + roundTripText(direction.angle) + " degrees", failure);
        }
        if (!limit) {
            throw unsolved(
                "at " + roundTripText(direction.angle) + " degrees",
                PhysicalLimitFailure("GLPK found no setting, although the moment is held"));
        }
        direction.physical = *limit;
        envelope.directions.push_back(direction);
    }

    std::atomic<int> next{0};
    std::mutex progressMutex;
    int done = 0;
    std::exception_ptr failure;
    auto work = [&] {
        allocProblem problem;
        for (int k = next++; k < options.directions; k = next++) {
            try {
                allocationLimits(scenario, options, problem,
                                 envelope.directions[static_cast<std::size_t>(k)]);
            } catch (...) {
                std::lock_guard<std::mutex> lock(progressMutex);
                failure = std::current_exception();
                return;
            }
            std::lock_guard<std::mutex> lock(progressMutex);
            ++done;
            if (options.progress) {
                options.progress(done, options.directions);
            }
        }
    };
    const unsigned threads =
        std::max(1u, options.threads != 0 ? options.threads : std::thread::hardware_concurrency());
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // the system has no more threads to give: those started do the work
        }
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return envelope;
}

}  // namespace kestrom_sim
