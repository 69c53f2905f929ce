// The default channel type's allocator: the request pipeline with the channel's own
// overridable operations (checkresult, processBarred, rescale), called through its virtual
// table.
#pragma once

#include "allocation/Allocator.h"
#include "channel/Aco_Kestrom.h"

class ChannelSteps final : public Allocator {
  public:
    explicit ChannelSteps(Aco_Kestrom& channel) : channel_(channel) {}

    bool meets(const forceMom& requested, const forceMom& achieved) override;
    void allocate(const RequestState& state) override;

  private:
    Aco_Kestrom& channel_;
};
