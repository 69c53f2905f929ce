// The channel's links and steps as the request cycle sees them.
#include "ChannelCycle.h"

#include "allocation/RequestPipeline.h"

using namespace kestrom_links;

int ChannelLinks::rowCount() {
    return channel_.CE_GetValue(kNumberOfThrusters, 0);
}

int ChannelLinks::previousActive() {
    return channel_.CE_GetValue(kPreviousActive, 0);
}

std::array<float, 3> ChannelLinks::demand() {
    D3DXVECTOR3 demand = {0.0f, 0.0f, 0.0f};
    channel_.CE_GetVector(demand, kThrustNeeded);
    return {demand.x, demand.y, demand.z};
}

int ChannelLinks::selectRow(int row) {
    channel_.CE_SetValue(row, kRowIndex);
    return channel_.CE_GetValue(kActiveColumn, kDefaultActive);
}

ThrusterRow ChannelLinks::selectedCells() {
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

int ChannelLinks::actionInExtrema() {
    return channel_.CE_GetValue(kActionInExtrema, pipeline::kDefaultActionInExtrema);
}

void ChannelLinks::writeRows(const std::vector<PublishedRow>& rows) {
    if (!channel_.CE_IsChildLinked(kRowIndex)) {
        return;
    }
    for (const PublishedRow& published : rows) {
        channel_.CE_SetValue(published.row, kRowIndex);
        channel_.CE_SetValue(published.force, kForceColumn);
        channel_.CE_SetValue(published.angle, kAngleColumn);
    }
}

void ChannelLinks::zeroForces(int rowCount) {
    if (!channel_.CE_IsChildLinked(kRowIndex)) {
        return;
    }
    for (int row = 0; row < rowCount; ++row) {
        channel_.CE_SetValue(row, kRowIndex);
        channel_.CE_SetValue(0.0f, kForceColumn);
    }
}

void ChannelLinks::writeOutputs(const LinkOutputs& outputs) {
    const D3DXVECTOR3 generated = {outputs.thrustGenerated[0], outputs.thrustGenerated[1],
                                   outputs.thrustGenerated[2]};
    channel_.CE_SetVector(generated, kThrustGenerated);
    channel_.CE_SetValue(outputs.energy, kEnergyGenerated);
    channel_.CE_SetValue(outputs.activeThrusters, kPreviousActive);
    channel_.CE_SetString(outputs.errorMessage, kErrorMessage);
    channel_.CE_SetValue(outputs.error, kErrorFlag);
}

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

ChannelCycle::ChannelCycle(Aco_Kestrom& channel)
    : links(channel),
      steps(channel),
      cycle(links,
            CycleState{channel.ship, channel.problem, channel.barredAngles, channel.activeThrusters,
                       channel.numberOfThrusters, channel.demandedThrust, channel.generatedThrust,
                       channel.actionInExtrema},
            steps) {}
