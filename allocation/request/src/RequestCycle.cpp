// The steps of the request cycle, shared by every host.
#include "allocation/RequestCycle.h"

#include <cstddef>
#include <exception>

#include "allocation/OutputTexts.h"
#include "allocation/RequestPipeline.h"
#include "allocation/ThrustFrame.h"

using kestrom_links::kTooManyRowsText;
using kestrom_links::shutdownText;

void RequestCycle::clear() {
    s_.numberOfThrusters = 0;
    s_.activeThrusters = 0;
    s_.ship.clear();
    s_.generatedThrust = forceMom(0.0, 0.0, 0.0, 0.0);
    s_.barredAngles.clear();
}

RequestReading RequestCycle::read() {
    RequestReading reading;
    s_.numberOfThrusters = table_.rowCount();
    if (s_.numberOfThrusters < 2) {
        return reading;
    }
    if (s_.numberOfThrusters > kMaxTableRows) {
        s_.numberOfThrusters = kMaxTableRows;
        reading.shutdown = kTooManyRowsText;
        return reading;
    }
    const int previousActive = table_.previousActive();
    s_.activeThrusters = s_.numberOfThrusters;
    s_.barredAngles.resize(static_cast<std::size_t>(s_.numberOfThrusters), kFreeDirection);

    bool settingsMeetDemand = false;
    try {
        const std::array<float, 3> demand = table_.demand();
        s_.demandedThrust = raisedDemand(forceMom(demand[0], demand[1], demand[2], 0.0));
        for (int row = 0; row < s_.numberOfThrusters; ++row) {
            readRow(row);
        }
        settingsMeetDemand = allocator_.meets(s_.demandedThrust, presentThrust(s_.ship));
        s_.actionInExtrema = table_.actionInExtrema();
    } catch (const std::exception& error) {
        reading.shutdown = error.what();
    }
    reading.compute = !(settingsMeetDemand && previousActive == s_.activeThrusters);
    return reading;
}

// Adds table row `row` to the ship when it is active; the model may reject it.
void RequestCycle::readRow(int row) {
    if (!isActiveRow(table_.selectRow(row))) {
        --s_.activeThrusters;
        return;
    }
    addThrusterRow(row, table_.selectedCells(), s_.ship, s_.barredAngles);
}

void RequestCycle::compute() {
    allocator_.allocate(RequestState{s_.ship, s_.problem, s_.barredAngles, s_.demandedThrust,
                                     s_.generatedThrust, s_.actionInExtrema});
}

void RequestCycle::publish() {
    table_.writeRows(allocator_.rowsToPublish(s_.ship));
    LinkOutputs outputs;
    outputs.thrustGenerated = {static_cast<float>(s_.generatedThrust.fwd),
                               static_cast<float>(s_.generatedThrust.swd),
                               static_cast<float>(s_.generatedThrust.rot)};
    outputs.energy = static_cast<float>(s_.generatedThrust.extra);
    outputs.activeThrusters = static_cast<float>(s_.activeThrusters);
    outputs.errorMessage = allocator_.resultMessage();
    outputs.error = 0.0f;
    table_.writeOutputs(outputs);
}

void RequestCycle::shutDown(const std::string& message) {
    table_.zeroForces(s_.numberOfThrusters);
    LinkOutputs outputs;
    outputs.activeThrusters = static_cast<float>(s_.activeThrusters);
    outputs.errorMessage = shutdownText(message);
    outputs.error = 1.0f;
    table_.writeOutputs(outputs);
}

bool runRequest(RequestCycle& cycle) {
    cycle.clear();
    const RequestReading reading = cycle.read();
    if (!reading.shutdown.empty()) {
        cycle.shutDown(reading.shutdown);
    }
    if (!reading.compute) {
        return false;
    }
    try {
        cycle.compute();
    } catch (const std::exception& error) {
        cycle.shutDown(error.what());
        return true;
    }
    cycle.publish();
    return true;
}
