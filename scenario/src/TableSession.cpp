// Requests on a table that carries its published cells and outputs from one to the next.
#include "scenario/TableSession.h"

#include <utility>

#include "allocation/RequestPipeline.h"
#include "allocation/TableRequest.h"
#include "allocation/ThrustFrame.h"
#include "channel/OutputTexts.h"
#include "scenario/ChannelRows.h"
#include "scenario/ScenarioTable.h"

namespace kestrom_sim {

TableSession::TableSession(Scenario scenario) : scenario_(std::move(scenario)) {}

// A write to a column no row gives goes to an unconnected link: the host's table keeps its 0.
void TableSession::writeCells(std::size_t row, float force, float angle) {
    if (scenario_.has(Column::force)) {
        cell(scenario_.rows[row], Column::force) = force;
    }
    if (scenario_.has(Column::angle)) {
        cell(scenario_.rows[row], Column::angle) = angle;
    }
}

// The channel's error shutdown: every row's force 0, angles kept, zero outputs, the notice.
void TableSession::shutDown(const std::string& failure, int activeThrusters) {
    for (std::size_t row = 0; row < scenario_.rows.size(); ++row) {
        writeCells(row, 0.0f, static_cast<float>(cell(scenario_.rows[row], Column::angle)));
    }
    outputs_ = {{0.0f, 0.0f, 0.0f},
                0.0f,
                static_cast<float>(activeThrusters),
                kestrom_links::shutdownText(failure),
                1.0f};
    previousActive_ = activeThrusters;
    shutdowns_.push_back(outputs_.errorMessage);
}

SessionResult TableSession::request(const Demand& demand, allocProblem& problem, double tolerance) {
    shutdowns_.clear();
    TableRequest table = tableRequest(scenario_, demand);
    const TableReading reading = readTable(table);
    if (reading.failure.empty()) {
        actionInExtrema_ = table.actionInExtrema;
        // Nothing to compute when the table already gives the demand with the same rows.
        if (meetsDemand(raisedDemand(table.demand), presentThrust(reading.ship)) &&
            previousActive_ == reading.activeThrusters) {
            return result(demand, table.rows, false, tolerance);
        }
    } else {
        // The channel shuts down at once; the rows read before the failure are computed.
        shutDown(reading.failure, reading.activeThrusters);
    }
    table.actionInExtrema = actionInExtrema_;
    const TableOutcome outcome = allocateTable(table, problem);
    if (outcome.failedComputing) {
        shutDown(outcome.shutdown, outcome.activeThrusters);
        return result(demand, table.rows, true, tolerance);
    }
    for (const PublishedRow& row : outcome.published) {
        writeCells(static_cast<std::size_t>(row.row), row.force, row.angle);
    }
    outputs_ = {
        {static_cast<float>(outcome.generated.fwd), static_cast<float>(outcome.generated.swd),
         static_cast<float>(outcome.generated.rot)},
        static_cast<float>(outcome.generated.extra),
        static_cast<float>(outcome.activeThrusters),
        kestrom_links::kNoErrorsText,
        0.0f};
    previousActive_ = outcome.activeThrusters;
    return result(demand, table.rows, true, tolerance);
}

SessionResult TableSession::result(const Demand& demand, const std::vector<::ThrusterRow>& rows,
                                   bool started, double tolerance) const {
    SessionResult r;
    r.started = started;
    for (const ScenarioRow& row : scenario_.rows) {
        r.rows.push_back({static_cast<float>(cell(row, Column::force)),
                          static_cast<float>(cell(row, Column::angle))});
    }
    r.outputs = outputs_;
    r.shutdowns = shutdowns_;
    r.report = reportRequest(rows, r.rows, demand, r.outputs.thrustGenerated, tolerance);
    return r;
}

}  // namespace kestrom_sim
