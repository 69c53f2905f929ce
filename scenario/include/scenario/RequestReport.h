// What a published table gives the vessel: the thrust its rows produce, whether that is the
// "Thrust Generated" the channel published beside it, and whether it meets the demand. The
// channel's own result is shown unchanged; this is the tool's view of it, computed from the
// rows as the host holds them, so that any host (kestrom-sim, the Python module) reports the
// same numbers for the same table.
#pragma once

#include <array>
#include <vector>

#include "allocation/RequestVerdict.h"
#include "allocation/ThrusterRow.h"
#include "allocation/forceMom.h"

namespace kestrom_sim {

// A row's force and angle cells after a request.
struct PublishedCells {
    float force = 0.0f;
    float angle = 0.0f;
};

struct RequestReport {
    forceMom tableThrust;    // the published table's thrust over its active rows; extra 0
    double arm = 0.0;        // the largest distance of an active row from the reference point
    RequestVerdict verdict;  // the table's thrust against the demand as the user gave it
    // Whether tableThrust and "Thrust Generated" agree within the tolerance of the verdict.
    bool tableMatchesGenerated = true;
    // When they do not: the active rows published with force 0 (a thruster whose direction lay
    // outside its range is written as 0, while "Thrust Generated" still counts its thrust).
    std::vector<int> zeroRows;
};

// rows: the table's rows as the channel reads them (active or not); published: their force
// and angle cells after the request, in table order; generated: "Thrust Generated".
RequestReport reportRequest(const std::vector<::ThrusterRow>& rows,
                            const std::vector<PublishedCells>& published,
                            const std::array<double, 3>& demand,
                            const std::array<float, 3>& generated, double tolerance);

}  // namespace kestrom_sim
