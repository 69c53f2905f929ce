// A vessel's thruster table across requests, kept the way a host keeps it for the channel:
// the published forces and angles stay in the table and are the next request's present
// settings, and the output links hold the last publication until the next one. Each request
// runs the channel's own steps directly (readTable, the present-settings check, allocateTable)
// instead of loading the plug-in, so a caller gets run's answers at the cost of the pipeline.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "allocation/allocProblem.h"
#include "scenario/OutputLinks.h"
#include "scenario/RequestReport.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// What the host sees after one request, as `run` reports it.
struct SessionResult {
    bool started = false;              // false: the present settings already met the demand
    std::vector<PublishedCells> rows;  // every row's force and angle cells, in table order
    OutputLinks outputs;
    // The "Error Message" of every error shutdown during the request, oldest first, even when
    // a computation was published after it ("No errors" above).
    std::vector<std::string> shutdowns;
    RequestReport report;
};

class TableSession {
  public:
    explicit TableSession(Scenario scenario);

    // One request. `problem` is the solver's work record: one per thread, reused.
    SessionResult request(const Demand& demand, allocProblem& problem,
                          double tolerance = kDefaultVerdictTolerance);

    const Scenario& scenario() const { return scenario_; }

  private:
    void writeCells(std::size_t row, float force, float angle);
    void shutDown(const std::string& failure, int activeThrusters);
    SessionResult result(const Demand& demand, const std::vector<::ThrusterRow>& rows, bool started,
                         double tolerance) const;

    std::vector<std::string> shutdowns_;  // during the present request
    Scenario scenario_;                   // the rows' force and angle cells follow the publications
    // The output links, as the channel last wrote them (a host's channels start at 0 and "").
    OutputLinks outputs_;
    int previousActive_ = 0;
    // The channel keeps "Action in Extrema" from its last complete reading; it starts at 0.
    int actionInExtrema_ = 0;
};

}  // namespace kestrom_sim
