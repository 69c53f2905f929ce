// The optimal allocator as the request cycle's allocator (allocation/Allocator.h): the
// channel type KestromOptimal and the tools run it through the same cycle as the default
// allocator. It publishes the cells the optimal allocator chose, "Thrust Generated" the thrust
// those float cells produce and the energy their sum of magnitudes; a demand beyond capacity
// publishes the closest attainable thrust with the shortfall as "Error Message".
#pragma once

#include <string>
#include <vector>

#include "allocation/Allocator.h"
#include "optimal/OptimalAllocator.h"

namespace optimal {

class OptimalCycleAllocator final : public Allocator {
  public:
    // Throws std::invalid_argument for rows the optimal allocator refuses (a standard
    // exception: the cycle shuts down with its text).
    void allocate(const RequestState& state) override;
    std::vector<PublishedRow> rowsToPublish(const Shipobj& ship) override;
    std::string resultMessage() override;

    // The last allocation, for tools that report its figures.
    const OptimalAllocation& last() const { return last_; }
    // Forgets the previous request: the next one starts cold.
    void reset();

  private:
    OptimalAllocator allocator_;  // keeps the previous request's sectors
    OptimalAllocation last_;
};

}  // namespace optimal
