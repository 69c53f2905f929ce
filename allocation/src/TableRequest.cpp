// A request on a table without a host: the channel's reading, pipeline and publication.
#include "allocation/TableRequest.h"

#include <cstddef>
#include <exception>

namespace {

constexpr double kFreeAngle = -1.0;
constexpr std::size_t kMaxRows = 128;

}  // namespace

TableReading readTable(const TableRequest& request) {
    TableReading reading;
    const std::size_t rowCount = request.rows.size();
    reading.barredAngles.assign(rowCount, kFreeAngle);
    reading.activeThrusters = static_cast<int>(rowCount);
    try {
        for (std::size_t row = 0; row < rowCount; ++row) {
            const ThrusterRow& cells = request.rows[row];
            if (!isActiveRow(cells.active)) {
                --reading.activeThrusters;
                continue;
            }
            addThrusterRow(static_cast<int>(row), cells, reading.ship, reading.barredAngles);
        }
    } catch (const std::exception& error) {
        reading.failure = error.what();
    }
    return reading;
}

TableOutcome allocateTable(const TableRequest& request, allocProblem& problem) {
    TableOutcome outcome;
    const std::size_t rowCount = request.rows.size();
    if (rowCount < 2 || rowCount > kMaxRows) {
        return outcome;
    }
    TableReading reading = readTable(request);
    outcome.ship = std::move(reading.ship);
    std::vector<double>& barredAngles = reading.barredAngles;
    const forceMom demand = raisedDemand(request.demand);
    outcome.activeThrusters = reading.activeThrusters;
    outcome.shutdown = reading.failure;
    outcome.computed = true;
    try {
        runRequestPipeline(RequestState{outcome.ship, problem, barredAngles, demand,
                                        outcome.generated, request.actionInExtrema});
    } catch (const std::exception& error) {
        outcome.shutdown = error.what();
        outcome.failedComputing = true;
        outcome.generated = forceMom();
        outcome.published.clear();
        // The shutdown zeroes every force and leaves the angles as the table had them.
        for (const Thrusterobj& t : outcome.ship.thrusters()) {
            PublishedRow zero;
            zero.row = t.number();
            zero.angle = request.rows[static_cast<std::size_t>(zero.row)].angle;
            outcome.published.push_back(zero);
        }
        outcome.tableThrust = publishedThrust(outcome.ship, outcome.published);
        return outcome;
    }
    outcome.published = publishedRows(outcome.ship);
    outcome.tableThrust = publishedThrust(outcome.ship, outcome.published);
    return outcome;
}
