// An SVG picture of one allocation: the vessel seen from above, forward up, each thruster
// with its rotation range and its thrust, and the demanded and generated totals.
#pragma once

#include <cstddef>
#include <string>

#include "Scene.h"
#include "SvgText.h"
#include "scenario/RequestReport.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// The picture of result, request requestNumber (counted from 1) of requestCount; a missed
// request (report) or a shutdown shows in red.
std::string svgPicture(const Scenario& scenario, const RequestResult& result,
                       const RequestReport& report, std::size_t requestNumber,
                       std::size_t requestCount);

}  // namespace kestrom_sim
