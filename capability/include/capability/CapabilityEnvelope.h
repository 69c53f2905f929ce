// The capability envelope of a vessel: for each direction of a demanded horizontal force,
// with a fixed yaw moment, the largest force the allocation holds (what the plug-in would
// publish), the largest force the optimal allocation holds (the KestromOptimal plug-in), and
// the largest force the thrusters could physically give.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "allocation/RequestVerdict.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// Directions beyond this many (a tenth of a degree apart) show nothing more.
constexpr int kMaxDirections = 3600;
// The finest grid step, in percent of the physical limit: 10,001 magnitudes per direction.
constexpr double kMinStepPercent = 0.01;
// Worker threads per core at most; more only wait for each other.
constexpr unsigned kThreadsPerCore = 4;

// The most worker threads the envelope takes: kThreadsPerCore per core of this machine.
unsigned maxCapabilityThreads();

struct CapabilityOptions {
    int directions = 72;
    double moment = 0.0;       // N m, bow to port positive
    double stepPercent = 1.0;  // grid step, in percent of the physical limit
    double tolerance = kDefaultVerdictTolerance;
    // 0: one per core; at most maxCapabilityThreads(); the results do not depend on it.
    unsigned threads = 0;
    // Called after each direction's allocation grid, from any thread, one call at a time.
    std::function<void(int done, int total)> progress;
};

struct DirectionCapability {
    // Degrees in the frame of the demand: 0 along +fwd (ahead), 90 along +swd (port).
    double angle = 0.0;
    // The largest grid magnitude up to which every grid magnitude is met; empty when even
    // the pure moment (magnitude 0) is missed.
    std::optional<double> allocation;
    double physical = 0.0;  // N, from circumscribed polygons (see PhysicalLimit.h)
    // Grid magnitudes met above the first missed one (the allocation is not monotonic).
    std::vector<double> metAbove;
    // As allocation, for the optimal allocation; it should lie on the physical limit.
    std::optional<double> optimal;
};

struct CapabilityEnvelope {
    double moment = 0.0;
    std::vector<DirectionCapability> directions;
};

// A problem with the input, with the key it concerns ("rows[2]", "--moment").
class CapabilityInputError : public std::runtime_error {
  public:
    CapabilityInputError(std::string key, const std::string& problem)
        : std::runtime_error(problem), key_(std::move(key)) {}
    const std::string& key() const { return key_; }

  private:
    std::string key_;
};

// The ship the channel builds from the scenario's table; a row the model rejects throws
// CapabilityInputError naming it.
Shipobj channelShip(const Scenario& scenario);

// The demand of magnitude `magnitude` in direction `degrees` with the options' moment.
Demand capabilityDemand(double degrees, double magnitude, double moment);

// Throws CapabilityInputError for options out of range, a row the model rejects and a moment
// the thrusters cannot hold.
CapabilityEnvelope capabilityEnvelope(const Scenario& scenario, const CapabilityOptions& options);

}  // namespace kestrom_sim
