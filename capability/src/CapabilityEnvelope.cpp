// The envelope: the physical limits first (GLPK, one thread), then each direction's grid of
// magnitudes through the channel's own pipeline and publication rule on worker threads, each
// with its own solver work record. Every direction is computed alone, so the results do not
// depend on the number of threads.
#include "capability/CapabilityEnvelope.h"
#include "scenario/TruePi.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

#include "allocation/TableRequest.h"
#include "capability/PhysicalLimit.h"
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
    if (!(options.stepPercent > 0.0 && options.stepPercent <= 100.0)) {
        throw CapabilityInputError("--step", "expected a percentage above 0, at most 100");
    }
    if (!std::isfinite(options.moment)) {
        throw CapabilityInputError("--moment", "expected a finite number");
    }
    if (!(options.tolerance > 0.0 && options.tolerance < 1.0)) {
        throw CapabilityInputError("--tolerance", "expected a share above 0 and below 1");
    }
}

// Judges the grid of one direction, whose physical limit is already known.
void allocationLimit(const Scenario& scenario, const CapabilityOptions& options,
                     allocProblem& problem, DirectionCapability& direction) {
    const int steps = static_cast<int>(std::floor(100.0 / options.stepPercent + 1e-9));
    bool missed = false;
    for (int k = 0; k <= steps; ++k) {
        const double magnitude = direction.physical * (k * options.stepPercent / 100.0);
        const Demand demand = capabilityDemand(direction.angle, magnitude, options.moment);
        const TableOutcome outcome = allocateTable(tableRequest(scenario, demand), problem);
        const forceMom asked(demand[0], demand[1], demand[2], 0.0);
        const bool met =
            judgeThrust(asked, outcome.tableThrust, largestArm(outcome.ship), options.tolerance)
                .met;
        if (met && !missed) {
            direction.allocation = magnitude;
        } else if (met) {
            direction.metAbove.push_back(magnitude);
        } else {
            missed = true;
        }
    }
}

}  // namespace

Shipobj channelShip(const Scenario& scenario) {
    const TableRequest request = tableRequest(scenario, Demand{});
    Shipobj ship;
    std::vector<double> barredAngles(request.rows.size(), -1.0);
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
    PhysicalLimit physical(thrusterReaches(ship));
    if (!physical.holds(options.moment)) {
        throw CapabilityInputError("--moment",
                                   "the thrusters cannot hold this yaw moment even without any "
                                   "force");
    }
    for (int k = 0; k < options.directions; ++k) {
        DirectionCapability direction;
        direction.angle = 360.0 * k / options.directions;
        // A held moment leaves t = 0 feasible in every direction.
        const std::optional<double> limit =
            physical.largest(direction.angle * kDegree, options.moment);
        if (!limit) {
            throw std::runtime_error("the physical-limit programme found no setting at " +
                                     std::to_string(direction.angle) +
                                     " degrees, although the moment is held");
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
                allocationLimit(scenario, options, problem,
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
        pool.emplace_back(work);
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
