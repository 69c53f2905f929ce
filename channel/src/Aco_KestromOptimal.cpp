// The KestromOptimal channel: the shared host calls (ChannelCalls.h) with the optimal
// allocator.
#include "channel/Aco_KestromOptimal.h"

#include "ChannelCalls.h"
#include "Logs.h"

Aco_KestromOptimal::Aco_KestromOptimal() {
    CE_SetSelf(this);
    SetChannelName("KestromOptimal");
    channel_calls::createLinks(*this);
}

Aco_KestromOptimal::~Aco_KestromOptimal() {
    channel_calls::waitForWorker(*this);
}

void Aco_KestromOptimal::CallChannel() {
    channel_calls::callChannel(*this, allocator);
}

void Aco_KestromOptimal::DoDependencyInit(Vro_List*) {}

void Aco_KestromOptimal::cleardata() {
    channel_calls::clearData(*this, allocator);
}

void Aco_KestromOptimal::ShutDownDP(std::string message) {
    channel_calls::shutDown(*this, message, allocator);
}

void Aco_KestromOptimal::StartThread() {
    channel_calls::startThread(*this);
}

bool Aco_KestromOptimal::ThreadFunction() {
    return channel_calls::threadFunction(*this, allocator);
}

void Aco_KestromOptimal::UpdateQuest() {
    channel_calls::updateQuest(*this, allocator);
}

int Aco_KestromOptimal::AppendLogEntry(const char* path, const char* text) {
    return channel_logs::appendLogEntry(path, text);
}
