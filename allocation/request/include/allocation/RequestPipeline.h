// The one computation of a request: what the channel's worker runs, and what every tool that
// wants the plug-in's answer runs too. The thresholds of the result check live here.
#pragma once

#include <vector>

#include "allocation/Allocator.h"
#include "allocation/forceMom.h"
#include "allocation/solveAllocation.h"

namespace pipeline {

// A produced thrust meets the demand when each component is within 0.1 % (or, for
// components under 0.01, within 0.001 absolute).
inline constexpr double kCheckThreshold = 0.01;
inline constexpr double kCheckTolerance = 0.001;
// Demanded components smaller than this in magnitude are raised to it, so none is ever zero.
inline constexpr double kSmallestDemand = 0.01;
// The "Action in Extrema" value that rescales instead of retrying with a component mode.
inline constexpr int kRescaleAction = 7;
// "Action in Extrema" when the channel's link has no value.
inline constexpr int kDefaultActionInExtrema = 4;

}  // namespace pipeline

// The demand as the solver gets it: components under pipeline::kSmallestDemand in magnitude
// become exactly that (positive) value.
forceMom raisedDemand(const forceMom& demand);

// checkresult with the pipeline's threshold and tolerance: fwd, swd and rot all agree.
bool meetsDemand(const forceMom& requested, const forceMom& achieved);

// Solve; bar thrusters that cannot take their direction when rotation is limited; check
// the result; when it misses, rescale (action 7) or solve again meeting only the components
// that "Action in Extrema" selects. The steps after the solve are the caller's, so that the
// channel runs its own overridable operations:
//   processBarred(const forceMom& demand), meets(const forceMom& requested,
//   const forceMom& achieved) -> bool, rescale().
template <class ProcessBarred, class Meets, class Rescale>
void runRequestPipeline(const RequestState& s, ProcessBarred processBarred, Meets meets,
                        Rescale rescale) {
    s.generated = solveAllocation(s.barredAngles, s.demand, s.problem, s.ship);
    if (s.ship.hasLimitedRotation()) {
        processBarred(s.demand);
    }
    if (meets(s.demand, s.generated)) {
        return;
    }
    if (s.actionInExtrema == pipeline::kRescaleAction) {
        rescale();
        return;
    }
    const forceMom retry(s.demand.fwd, s.demand.swd, s.demand.rot,
                         static_cast<double>(s.actionInExtrema));
    s.generated = solveAllocation(s.barredAngles, retry, s.problem, s.ship);
    if (s.ship.hasLimitedRotation()) {
        processBarred(retry);
    }
}

// The pipeline with the library's own steps (BarringAndRescaling and checkresult).
void runRequestPipeline(const RequestState& s);

// The default allocator: the pipeline with the library's own steps.
class PipelineAllocator final : public Allocator {
  public:
    void allocate(const RequestState& state) override { runRequestPipeline(state); }
};
