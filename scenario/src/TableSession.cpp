// Requests on a table that carries its published cells and outputs from one to the next.
#include "scenario/TableSession.h"

#include <utility>

#include "allocation/RequestCycle.h"
#include "scenario/ScenarioTable.h"

namespace kestrom_sim {

TableSession::TableSession(Scenario scenario, AllocatorKind allocator)
    : scenario_(std::move(scenario)), allocator_(allocator) {}

SessionResult TableSession::request(const Demand& demand, allocProblem& problem, double tolerance) {
    ScenarioTable table(scenario_, outputs_, demand);
    RequestCycle cycle(table, state_.with(problem), allocator_.get());
    SessionResult r;
    r.started = runRequest(cycle);
    for (const ScenarioRow& row : scenario_.rows) {
        r.rows.push_back({static_cast<float>(cell(row, Column::force)),
                          static_cast<float>(cell(row, Column::angle))});
    }
    r.outputs = outputs_;
    r.shutdowns = table.shutdowns();
    r.report = reportRequest(table.rows(), r.rows, demand, r.outputs.thrustGenerated, tolerance);
    return r;
}

}  // namespace kestrom_sim
