// A vessel's thruster table across requests, kept the way a host keeps it for the channel:
// the published forces and angles stay in the table and are the next request's present
// settings, and the output links hold the last publication until the next one. Each request
// runs the channel's own request cycle, with the channel type's allocator, on the table, computing
// at once instead of on a worker thread, so a caller gets run's answers without loading the
// plug-in.
#pragma once

#include <string>
#include <vector>

#include "allocation/RequestCycle.h"
#include "allocation/allocProblem.h"
#include "scenario/AllocatorKind.h"
#include "scenario/RequestReport.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// What the host sees after one request, as `run` reports it.
struct SessionResult {
    bool started = false;  // false: nothing computed (the present settings met the demand)
    std::vector<PublishedCells> rows;  // every row's force and angle cells, in table order
    LinkOutputs outputs;
    // The "Error Message" of every error shutdown during the request, oldest first, even when
    // a computation was published after it ("No errors" above).
    std::vector<std::string> shutdowns;
    RequestReport report;
};

class TableSession {
  public:
    explicit TableSession(Scenario scenario, AllocatorKind allocator = AllocatorKind::standard);

    // One request. `problem` is the solver's work record: one per thread, reused.
    SessionResult request(const Demand& demand, allocProblem& problem,
                          double tolerance = kDefaultVerdictTolerance);

    const Scenario& scenario() const { return scenario_; }

  private:
    Scenario scenario_;  // the rows' force and angle cells follow the publications
    // The output links, as the channel last wrote them (a host's channels start at 0 and "").
    LinkOutputs outputs_;
    RequestMembers state_;      // the channel's request state between requests
    CycleAllocator allocator_;  // the channel type's allocator, kept as the channel keeps it
};

}  // namespace kestrom_sim
