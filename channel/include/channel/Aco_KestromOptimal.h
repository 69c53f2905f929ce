// The KestromOptimal channel: the same links, table rules, request cycle, shutdown and logs as
// Aco_Kestrom, with the optimal allocator (optimal/OptimalCycleAllocator.h) computing the
// request: the thrust the vessel asks for at least power, or the closest attainable thrust.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "allocation/RequestCycle.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"
#include "channel/LinkTable.h"
#include "channelext/ChannelExtension.h"
#include "host/Vro_Channel.h"
#include "optimal/OptimalCycleAllocator.h"
#include "platform/ThreadTypes.h"

namespace channel_calls {
template <class Channel>
void createLinks(Channel& channel);
}  // namespace channel_calls

// The request state (the rows read, the demand, the thrust generated) is RequestMembers'; the
// host reaches the class through Vro_Channel's slots alone, so its record is free.
class Aco_KestromOptimal : public Vro_Channel,
                           public ChannelExtension<Aco_KestromOptimal>,
                           public RequestMembers {
  public:
    static constexpr const char* kClassName = "Aco_KestromOptimal";

    Aco_KestromOptimal();
    // The allocator keeps the previous request's state and belongs to one channel.
    Aco_KestromOptimal(const Aco_KestromOptimal&) = delete;
    Aco_KestromOptimal& operator=(const Aco_KestromOptimal&) = delete;
    // Waits, without a time limit, until a running worker has ended.
    ~Aco_KestromOptimal() override;

    // One host step, as Aco_Kestrom's.
    void CallChannel() override;
    void DoDependencyInit(Vro_List* list) override;

    void cleardata();
    // As Aco_Kestrom's: every row's force zero, zero thrust, "Error?" 1 with the shutdown text,
    // the log entries, Idle.
    void ShutDownDP(std::string message);
    void StartThread();
    bool ThreadFunction();
    void UpdateQuest();

    int AppendLogEntry(const char* path, const char* text);

    // The request state is read only after seeing threadFinished set or threadBusy clear
    // (acquire loads), as Aco_Kestrom's.
    platform::ThreadHandle threadHandle = nullptr;  // used by the host's thread only
    std::atomic<bool> threadBusy{false};
    std::atomic<bool> threadFinished{false};
    platform::ThreadId threadId = 0;
    allocProblem problem;  // unused by the optimal allocator; the cycle's state holds one
    const char* logFileName = "KestromLog.txt";
    const char* threadLogFileName = "KestromThreadLog.txt";
    optimal::OptimalCycleAllocator allocator;

  private:
    template <class Channel>
    friend void channel_calls::createLinks(Channel& channel);
};
