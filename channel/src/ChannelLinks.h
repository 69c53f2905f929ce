// A channel's links as the request cycle's table, for every channel type of the plug-ins:
// the row-index link selects a row of the host's array table, the column links then stand
// for that row's cells.
#pragma once

#include "allocation/RequestPipeline.h"
#include "allocation/RequestTable.h"
#include "channel/LinkTable.h"
#include "host/HostTypes.h"

template <class Channel>
class ChannelLinks final : public RequestTable {
  public:
    explicit ChannelLinks(Channel& channel) : channel_(channel) {}

    int rowCount() override { return channel_.CE_GetValue(kestrom_links::kNumberOfThrusters, 0); }

    int previousActive() override {
        return channel_.CE_GetValue(kestrom_links::kPreviousActive, 0);
    }

    std::array<float, 3> demand() override {
        D3DXVECTOR3 demand = {0.0f, 0.0f, 0.0f};
        channel_.CE_GetVector(demand, kestrom_links::kThrustNeeded);
        return {demand.x, demand.y, demand.z};
    }

    int selectRow(int row) override {
        channel_.CE_SetValue(row, kestrom_links::kRowIndex);
        return channel_.CE_GetValue(kestrom_links::kActiveColumn, kDefaultActive);
    }

    ThrusterRow selectedCells() override {
        using namespace kestrom_links;
        ThrusterRow cells;
        cells.force = channel_.CE_GetValue(kForceColumn, 0.0f);
        cells.angle = channel_.CE_GetValue(kAngleColumn, 0.0f);
        D3DXVECTOR3 position = {0.0f, 0.0f, 0.0f};
        channel_.CE_GetVector(position, kPositionColumn);
        cells.position[0] = position.x;
        cells.position[1] = position.y;
        cells.position[2] = position.z;
        cells.type = channel_.CE_GetValue(kTypeColumn, kDefaultType);
        cells.maxForce = channel_.CE_GetValue(kMaxForceColumn, 0.0f);
        cells.reversePenalty = channel_.CE_GetValue(kReversePenaltyColumn, 0.0f);
        cells.startAngle = channel_.CE_GetValue(kStartAngleColumn, 0.0f);
        float maxRotation = 0.0f;
        if (channel_.CE_GetValue(maxRotation, kMaxRotationColumn)) {
            cells.maxRotation = maxRotation;
        }
        return cells;
    }

    int actionInExtrema() override {
        return channel_.CE_GetValue(kestrom_links::kActionInExtrema,
                                    pipeline::kDefaultActionInExtrema);
    }

    void writeRows(const std::vector<PublishedRow>& rows) override {
        using namespace kestrom_links;
        if (!channel_.CE_IsChildLinked(kRowIndex)) {
            return;
        }
        for (const PublishedRow& published : rows) {
            channel_.CE_SetValue(published.row, kRowIndex);
            channel_.CE_SetValue(published.force, kForceColumn);
            channel_.CE_SetValue(published.angle, kAngleColumn);
        }
    }

    void zeroForces(int rowCount) override {
        using namespace kestrom_links;
        if (!channel_.CE_IsChildLinked(kRowIndex)) {
            return;
        }
        for (int row = 0; row < rowCount; ++row) {
            channel_.CE_SetValue(row, kRowIndex);
            channel_.CE_SetValue(0.0f, kForceColumn);
        }
    }

    void writeOutputs(const LinkOutputs& outputs) override {
        using namespace kestrom_links;
        const D3DXVECTOR3 generated = {outputs.thrustGenerated[0], outputs.thrustGenerated[1],
                                       outputs.thrustGenerated[2]};
        channel_.CE_SetVector(generated, kThrustGenerated);
        channel_.CE_SetValue(outputs.energy, kEnergyGenerated);
        channel_.CE_SetValue(outputs.activeThrusters, kPreviousActive);
        channel_.CE_SetString(outputs.errorMessage, kErrorMessage);
        channel_.CE_SetValue(outputs.error, kErrorFlag);
    }

  private:
    Channel& channel_;
};
