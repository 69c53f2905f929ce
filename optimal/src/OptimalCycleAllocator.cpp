// The optimal allocator inside the request cycle.
#include "optimal/OptimalCycleAllocator.h"

#include "allocation/OutputTexts.h"

namespace optimal {

void OptimalCycleAllocator::allocate(const RequestState& state) {
    last_ = allocator_.allocate(state.ship, state.demand);
    state.generated = last_.thrust;
}

std::vector<PublishedRow> OptimalCycleAllocator::rowsToPublish(const Shipobj&) {
    return last_.rows;
}

std::string OptimalCycleAllocator::resultMessage() {
    if (last_.met) {
        return kestrom_links::kNoErrorsText;
    }
    const forceMom& s = last_.shortfall;
    return kestrom_links::beyondCapacityText(s.fwd, s.swd, s.rot);
}

void OptimalCycleAllocator::reset() {
    allocator_.reset();
    last_ = OptimalAllocation();
}

}  // namespace optimal
