// A thruster table with the links around it, as the request cycle reads and writes it: the
// host's channels for the plug-in, a scenario's table for the tools. Values cross it as the
// host's Value channels hold them, in single precision, so each implementation rounds where
// the host would (a float member or return value: GCC 12 drops a narrowing that is widened
// again in the same inlined code).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "allocation/Publication.h"
#include "allocation/ThrusterRow.h"

// The output links after a publication or an error shutdown.
struct LinkOutputs {
    std::array<float, 3> thrustGenerated{};  // "Thrust Generated (Fwd, Swd, Rot)"
    float energy = 0.0f;                     // "Energy Generated"
    float activeThrusters = 0.0f;            // "Number of active thrusters in previous calculation"
    std::string errorMessage;                // "Error Message"
    float error = 0.0f;                      // "Error?"
};

class RequestTable {
  public:
    // "Number of Thrusters".
    virtual int rowCount() = 0;
    // The active count the last publication left, or 0.
    virtual int previousActive() = 0;
    // "Thrust Needed (Fwd, Swd, Rot)".
    virtual std::array<float, 3> demand() = 0;
    // Selects row `row` and reads its "active" cell.
    virtual int selectRow(int row) = 0;
    // The other cells of the row selected last, in the order the channel reads them.
    virtual ThrusterRow selectedCells() = 0;
    // "Action in Extrema", read after the rows.
    virtual int actionInExtrema() = 0;

    // The force and angle cells of each published row, in the given order.
    virtual void writeRows(const std::vector<PublishedRow>& rows) = 0;
    // The force cell of every row from 0 to rowCount - 1; the angles stay.
    virtual void zeroForces(int rowCount) = 0;
    virtual void writeOutputs(const LinkOutputs& outputs) = 0;

  protected:
    ~RequestTable() = default;
};
