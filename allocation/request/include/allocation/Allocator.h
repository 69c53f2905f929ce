// What computes a request once the cycle has read it: the request pipeline (PipelineAllocator
// in RequestPipeline.h), the channel's pipeline of overridable steps, or another allocator.
// A new allocator derives from Allocator and is handed to RequestCycle; nothing else in the
// cycle changes.
#pragma once

#include <string>
#include <vector>

#include "allocation/Publication.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"

// The request state an allocator works on; the host owns it, the allocator borrows it.
struct RequestState {
    Shipobj& ship;  // the active rows' thrusters, their present settings as read
    allocProblem& problem;
    std::vector<double>& barredAngles;  // per table row; kFreeDirection or a fixed direction
    const forceMom& demand;             // already raised
    forceMom& generated;
    int actionInExtrema;
};

class Allocator {
  public:
    // Whether `achieved` gives `requested`: the check of the table's present settings, which
    // decides whether a request is computed at all. By default meetsDemand.
    virtual bool meets(const forceMom& requested, const forceMom& achieved);
    // Sets every thruster's thrust in state.ship and state.generated (extra: the energy). May
    // throw a standard exception, which ends in the error shutdown.
    virtual void allocate(const RequestState& state) = 0;
    // What the publication of the last allocation writes into the rows' cells. By default
    // each thruster's published row (Publication.h); an allocator that chooses the cells
    // itself gives them here.
    virtual std::vector<PublishedRow> rowsToPublish(const Shipobj& ship);
    // The "Error Message" of that publication; by default "No errors".
    virtual std::string resultMessage();

  protected:
    ~Allocator() = default;
};
