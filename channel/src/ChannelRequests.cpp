// The default channel's host calls: the shared ones (ChannelCalls.h) with the request
// pipeline of its own virtual steps as the allocator.
#include "ChannelCalls.h"
#include "ChannelSteps.h"
#include "channel/Aco_Kestrom.h"

void Aco_Kestrom::CallChannel() {
    ChannelSteps steps(*this);
    channel_calls::callChannel(*this, steps);
}

void Aco_Kestrom::StartThread() {
    channel_calls::startThread(*this);
}

bool Aco_Kestrom::ThreadFunction() {
    ChannelSteps steps(*this);
    return channel_calls::threadFunction(*this, steps);
}

void Aco_Kestrom::UpdateQuest() {
    ChannelSteps steps(*this);
    channel_calls::updateQuest(*this, steps);
}

void Aco_Kestrom::ShutDownDP(std::string message) {
    ChannelSteps steps(*this);
    channel_calls::shutDown(*this, message, steps);
}
