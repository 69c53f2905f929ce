// A thruster table's contents as plain data, as the channel reads them from the host: every
// row's cells, the demand and "Action in Extrema", each as the host's channels hold it.
// Tools build one from their own description of a vessel (tableRequest() in scenario/) and
// serve the request cycle from it.
#pragma once

#include <array>
#include <vector>

#include "allocation/RequestPipeline.h"
#include "allocation/ThrusterRow.h"

struct TableRequest {
    std::vector<ThrusterRow> rows;  // every row of the table, active or not
    std::array<float, 3> demand{};  // "Thrust Needed", as the host's vector channel holds it
    int actionInExtrema = pipeline::kDefaultActionInExtrema;
};
