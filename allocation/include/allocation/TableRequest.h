// One request on a thruster table, computed directly with the channel's own steps: rows read
// as the channel reads them, the request pipeline, and the publication rule. Tools that need
// the plug-in's answer many times over (the capability envelope, the Python module) call
// this instead of a host.
#pragma once

#include <string>
#include <vector>

#include "allocation/Publication.h"
#include "allocation/RequestPipeline.h"
#include "allocation/Shipobj.h"
#include "allocation/ThrusterRow.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"

struct TableRequest {
    std::vector<ThrusterRow> rows;  // every row of the table, active or not
    forceMom demand;                // as the host demands it; extra unused
    int actionInExtrema = pipeline::kDefaultActionInExtrema;
};

struct TableOutcome {
    Shipobj ship;                         // the active rows' thrusters after the request
    forceMom generated;                   // "Thrust Generated" and, in extra, the energy
    std::vector<PublishedRow> published;  // what the channel writes, in ship order
    forceMom tableThrust;                 // the thrust the published rows produce
    int activeThrusters = 0;
    // The text of an error shutdown (a row the model rejects, a solver failure); empty
    // without one. A failure while reading still computes the rows read before it, as the
    // channel does; a failure while computing publishes zero thrust.
    std::string shutdown;
    // The computation itself failed: nothing was published and the shutdown zeroed the table.
    bool failedComputing = false;
    bool computed = false;  // false when the channel would not compute (fewer than 2 rows)
};

// The table as the channel reads it before deciding whether to compute: the active rows'
// ship and fixed directions, the active count, and the model's text when it rejected a row
// (the rows before it are read; reading stops there).
struct TableReading {
    Shipobj ship;
    std::vector<double> barredAngles;
    int activeThrusters = 0;
    std::string failure;
};
TableReading readTable(const TableRequest& request);

// Always computes, as the channel does whenever the table's present settings miss the demand
// (a table that already meets it is left alone by the channel; callers start from their own
// table). `problem` is the solver's work record: keep one per thread and reuse it.
TableOutcome allocateTable(const TableRequest& request, allocProblem& problem);
