// An allocator whose only purpose is that the vessel gets the thrust it asks for, at least
// power. Per request it takes the active rows (the model the table rules build: type, maximum
// force, start angle, rotation range, reverse penalty, position) and a demand in the sign rule
// of "Thrust Generated", and returns per row the force and angle to publish, in the table's
// conventions (a negative force pushes against the angle; a fixed-direction row keeps its
// start angle; a two-sector row's angle stays within its range).
//
// - Each row can push what its attainable set (allocation/AttainableSet.h) allows, as an
//   inscribed polygon.
// - A feasible demand is met; among the settings that meet it, the one of least power
//   sum (|f| / eta)^(3/2) (eta: the reverse penalty for a fixed-direction row pushing
//   backwards, else 1) is chosen, over every sector choice of the two-sector rows.
// - An infeasible demand gets, in this order of priority, the closest attainable yaw moment,
//   the closest force given that moment, and the least power given both.
// - A two-sector row changes sector only when that saves more than a power margin, or when
//   the demand cannot be met otherwise; a row without thrust keeps its angle.
//
// The object keeps the previous request's sectors, forces and active sets; one object per
// channel. Deterministic: no threads, no clocks, fixed caps.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "allocation/Publication.h"
#include "allocation/Shipobj.h"
#include "allocation/forceMom.h"

namespace optimal {

struct OptimalSettings {
    // Sides of a full-turn polygon: inscribed, it loses 1 - cos(pi / sides) of capacity
    // (0.03 % at 128).
    int polygonSides = 128;
    // A sector change must save more than this share of the power of keeping the sectors.
    double switchMargin = 0.02;
    // Sector-search nodes per search; at the cap the best choice found so far stands.
    int nodeCap = 64;
    // Quadratic solves per power optimum (re-weightings of the quadratic model).
    int reweightCap = 20;
    // Relative change of power below which the re-weighting stops.
    double reweightTolerance = 1e-5;
    // Iterations per QP solve; a solve stopped at the cap counts as not solved.
    int qpIterationCap = 200;
};

// How far a request got, for tests and measurements.
struct AllocationStats {
    int stage = 0;  // 1: demand met; 2: moment limited; 3: force limited too
    int nodes = 0;  // sector-search nodes over all stages
    int qpSolves = 0;
    int qpIterations = 0;
    bool nodeCapReached = false;
    bool qpCapReached = false;
};

struct OptimalAllocation {
    // One per active row, in ship order: the table row, the force and the angle to write.
    std::vector<PublishedRow> rows;
    // The thrust the written float cells produce (the sign rule of "Thrust Generated");
    // extra: the sum of |force|.
    forceMom thrust;
    double power = 0.0;  // sum of (|force| / eta)^(3/2) of the written cells, N^(3/2)
    // The thrust equals the demand within 1e-4 of its scale per force component (times the
    // largest arm for the moment).
    bool met = false;
    forceMom shortfall;  // demand minus thrust; extra 0
    AllocationStats stats;
};

// Why the allocator refuses a row ("maximum force is 0", a value that is not finite, a
// fixed-direction row whose reverse penalty is not positive); empty when it takes the row.
std::string rowRefusal(const Thrusterobj& row);

// The tolerance of `met`, a share of the demand's scale (allocation/RequestVerdict.h).
inline constexpr double kMetTolerance = 1e-4;

class OptimalAllocator {
  public:
    explicit OptimalAllocator(const OptimalSettings& settings = OptimalSettings());
    ~OptimalAllocator();
    // A copy continues from the same previous request (sectors, forces, active sets).
    OptimalAllocator(const OptimalAllocator& other);
    OptimalAllocator& operator=(const OptimalAllocator&) = delete;

    // Throws std::invalid_argument naming the row and the cell when a row has a maximum force
    // of 0 or a value that is not finite, when a fixed-direction row's reverse penalty is not
    // positive, when the ship has no row, or when the demand is not finite.
    OptimalAllocation allocate(const Shipobj& ship, const forceMom& demand);
    // Forgets the previous request (sectors, forces, active sets): the next one starts cold.
    void reset();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace optimal
