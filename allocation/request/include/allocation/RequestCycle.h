// The request cycle of every host: read the rows and the demand, check the table's present
// settings against the previous active count, compute with an allocator, then publish or shut
// down. The plug-in runs it across its host calls and a worker thread; the tools run it at
// once (runRequest). The host keeps the request state and implements the table; the cycle
// holds the rules: the row limit, the free direction of a row, the present-settings check,
// what a publication and an error shutdown write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "allocation/Allocator.h"
#include "allocation/RequestTable.h"

// The request state, kept by the host between the steps (the channel: its members).
struct CycleState {
    Shipobj& ship;
    allocProblem& problem;
    std::vector<double>& barredAngles;
    std::int32_t& activeThrusters;
    std::int32_t& numberOfThrusters;
    forceMom& demandedThrust;
    forceMom& generatedThrust;
    std::int32_t& actionInExtrema;
};

// The request state as values, for hosts other than the channel (which keeps it as members).
struct RequestMembers {
    Shipobj ship;
    std::vector<double> barredAngles;
    std::int32_t activeThrusters = 0;
    std::int32_t numberOfThrusters = 0;
    forceMom demandedThrust;
    forceMom generatedThrust;
    std::int32_t actionInExtrema = 0;  // as the channel's: 0 until a reading completes

    CycleState with(allocProblem& problem) {
        return {ship,           problem,         barredAngles,   activeThrusters, numberOfThrusters,
                demandedThrust, generatedThrust, actionInExtrema};
    }
};

// What reading a request decided.
struct RequestReading {
    // The text of an error shutdown due first (a table over the row limit, a row the model
    // rejects); empty without one.
    std::string shutdown;
    // Whether to compute: the present settings miss the demand or the active count changed.
    bool compute = false;
};

class RequestCycle {
  public:
    RequestCycle(RequestTable& table, const CycleState& state, Allocator& allocator)
        : table_(table), s_(state), allocator_(allocator) {}

    // Empties the request state.
    void clear();
    // Reads the request from the table. A row the model rejects ends the reading there; the
    // rows read before it are still computed.
    RequestReading read();
    // The computation; throws what the allocator throws.
    void compute();
    // Writes the result: every active row's force and angle, then the output links.
    void publish();
    // The error shutdown's writes: every row's force 0, zero thrust and energy, the notice.
    void shutDown(const std::string& message);

  private:
    void readRow(int row);

    RequestTable& table_;
    CycleState s_;
    Allocator& allocator_;
};

// One request from reading to publication on a host that computes at once, without a worker
// thread. Returns whether it computed.
bool runRequest(RequestCycle& cycle);
