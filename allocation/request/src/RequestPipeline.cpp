// The request pipeline with the library's own steps.
#include "allocation/RequestPipeline.h"

#include <cmath>

#include "allocation/BarringAndRescaling.h"
#include "allocation/OutputTexts.h"

forceMom raisedDemand(const forceMom& demand) {
    forceMom raised = demand;
    for (double* component : {&raised.fwd, &raised.swd, &raised.rot}) {
        if (std::fabs(*component) < pipeline::kSmallestDemand) {
            *component = pipeline::kSmallestDemand;
        }
    }
    return raised;
}

bool meetsDemand(const forceMom& requested, const forceMom& achieved) {
    return checkresult(requested, achieved, pipeline::kCheckThreshold, pipeline::kCheckTolerance);
}

bool Allocator::meets(const forceMom& requested, const forceMom& achieved) {
    return meetsDemand(requested, achieved);
}

std::vector<PublishedRow> Allocator::rowsToPublish(const Shipobj& ship) {
    return publishedRows(ship);
}

std::string Allocator::resultMessage() {
    return kestrom_links::kNoErrorsText;
}

void runRequestPipeline(const RequestState& s) {
    BarringAndRescaling checker(s.ship, s.problem, s.barredAngles, s.demand, s.generated);
    runRequestPipeline(
        s, [&](const forceMom& demand) { checker.processBarred(demand); }, meetsDemand,
        [&] { checker.rescale(); });
}
