// The request pipeline with the default channel's virtual steps.
#include "ChannelSteps.h"

#include "allocation/RequestPipeline.h"

bool ChannelSteps::meets(const forceMom& requested, const forceMom& achieved) {
    forceMom r = requested;
    forceMom a = achieved;
    return channel_.checkresult(r, a, pipeline::kCheckThreshold, pipeline::kCheckTolerance);
}

void ChannelSteps::allocate(const RequestState& state) {
    runRequestPipeline(
        state, [this](const forceMom& demand) { channel_.processBarred(demand); },
        [this](const forceMom& requested, const forceMom& achieved) {
            return meets(requested, achieved);
        },
        [this] { channel_.rescale(); });
}
