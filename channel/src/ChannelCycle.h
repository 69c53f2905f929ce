// The request cycle on the channel: its links as the cycle's table, its own overridable
// operations (checkresult, processBarred, rescale) as the cycle's allocator.
#pragma once

#include "allocation/RequestCycle.h"
#include "channel/Aco_Kestrom.h"

class ChannelLinks final : public RequestTable {
  public:
    explicit ChannelLinks(Aco_Kestrom& channel) : channel_(channel) {}

    int rowCount() override;
    int previousActive() override;
    std::array<float, 3> demand() override;
    int selectRow(int row) override;
    ThrusterRow selectedCells() override;
    int actionInExtrema() override;
    void writeRows(const std::vector<PublishedRow>& rows) override;
    void zeroForces(int rowCount) override;
    void writeOutputs(const LinkOutputs& outputs) override;

  private:
    Aco_Kestrom& channel_;
};

// The request pipeline with the channel's virtual steps, called through its virtual table.
class ChannelSteps final : public Allocator {
  public:
    explicit ChannelSteps(Aco_Kestrom& channel) : channel_(channel) {}

    bool meets(const forceMom& requested, const forceMom& achieved) override;
    void allocate(const RequestState& state) override;

  private:
    Aco_Kestrom& channel_;
};

// The cycle over one channel's members, links and steps; made where a step is needed.
struct ChannelCycle {
    explicit ChannelCycle(Aco_Kestrom& channel);

    ChannelLinks links;
    ChannelSteps steps;
    RequestCycle cycle;
};
