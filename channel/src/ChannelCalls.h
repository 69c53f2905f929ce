// The host calls of a channel around the request cycle (allocation/RequestCycle.h), for every
// channel type of the plug-ins: reading a request on the host's thread, computing it on a
// worker thread, publishing on the host's thread, and the error shutdown with its log
// entries. A channel type differs only in the allocator it hands to these calls.
//
// There is no lock. threadBusy and threadFinished hand the request state (ship, problem,
// barredAngles, demandedThrust, generatedThrust, actionInExtrema) from one thread to the
// other: the host's thread leaves it alone while a computation runs, and the worker stores
// everything before it sets threadFinished (release; the host reads it with acquire).
//
// A channel provides the members of that state, threadHandle, threadId, the two log names,
// the links (ChannelExtension) and the operations cleardata, ShutDownDP, StartThread,
// ThreadFunction, UpdateQuest and AppendLogEntry, which call the templates below.
#pragma once

#include <exception>
#include <string>

#include "ChannelLinks.h"
#include "allocation/OutputTexts.h"
#include "allocation/RequestCycle.h"
#include "channel/LinkTable.h"
#include "platform/WinApi.h"

namespace channel_calls {

// The cycle over one channel's members and links, computing with `allocator`.
template <class Channel>
struct LinkedCycle {
    LinkedCycle(Channel& channel, Allocator& allocator)
        : links(channel),
          cycle(
              links,
              CycleState{channel.ship, channel.problem, channel.barredAngles,
                         channel.activeThrusters, channel.numberOfThrusters, channel.demandedThrust,
                         channel.generatedThrust, channel.actionInExtrema},
              allocator) {}

    ChannelLinks<Channel> links;
    RequestCycle cycle;
};

// The 18 links, in index order (channel/LinkTable.h).
template <class Channel>
void createLinks(Channel& channel) {
    using namespace kestrom_links;
    for (const LinkDeclaration& link : kLinks) {
        switch (link.kind) {
            case LinkKind::value:
                channel.CreateValueLink(link.name, link.direction, false);
                break;
            case LinkKind::vector:
                channel.CreateVectorLink(link.name, link.direction, false);
                break;
            case LinkKind::text:
                channel.CreateStringLink(link.name, link.direction, false);
                break;
        }
    }
}

template <class Channel>
void closeThreadHandle(Channel& channel) {
    if (channel.threadHandle != nullptr) {
        CloseHandle(channel.threadHandle);
        channel.threadHandle = nullptr;
    }
}

// Waits, without a time limit, until a running worker has ended; leaves the channel Idle.
template <class Channel>
void waitForWorker(Channel& channel) {
    if (channel.threadHandle != nullptr) {
        WaitForSingleObject(channel.threadHandle, INFINITE);
        closeThreadHandle(channel);
    }
    channel.threadBusy.store(false, std::memory_order_release);
    channel.threadFinished.store(false, std::memory_order_release);
}

// Entry of the worker thread; parameter is the channel.
template <class Channel>
DWORD WINAPI runWorker(LPVOID parameter) {
    auto* channel = static_cast<Channel*>(parameter);
    while (!channel->ThreadFunction()) {
    }
    return 0;
}

// CallChannel: collect and publish a finished computation, or read a new request and start
// one when the table's present settings miss the demand. Never waits.
template <class Channel>
void callChannel(Channel& channel, Allocator& allocator) {
    using namespace kestrom_links;
    if (channel.threadBusy.load(std::memory_order_acquire)) {
        if (!channel.threadFinished.load(std::memory_order_acquire)) {
            return;
        }
        channel.threadFinished.store(false, std::memory_order_release);
        closeThreadHandle(channel);
        channel.threadBusy.store(false, std::memory_order_release);
        channel.UpdateQuest();
        return;
    }
    // A worker that ended in the error shutdown leaves its handle for this thread to close.
    closeThreadHandle(channel);

    channel.cleardata();
    if (!channel.CE_IsChildLinked(kRowIndex)) {
        channel.CE_SetString(kNoRowIndexText, kErrorMessage);
        return;
    }
    if (!channel.CE_IsChildLinked(kThrustNeeded)) {
        channel.CE_SetString(kNoDemandText, kErrorMessage);
        return;
    }
    const RequestReading reading = LinkedCycle<Channel>(channel, allocator).cycle.read();
    if (!reading.shutdown.empty()) {
        channel.ShutDownDP(reading.shutdown);
    }
    if (reading.compute) {
        channel.StartThread();
    }
}

template <class Channel>
void startThread(Channel& channel) {
    if (channel.threadBusy.load(std::memory_order_acquire)) {
        return;
    }
    closeThreadHandle(channel);
    channel.threadBusy.store(true, std::memory_order_release);
    channel.threadFinished.store(false, std::memory_order_release);
    channel.threadHandle =
        CreateThread(nullptr, 0, runWorker<Channel>, &channel, 0, &channel.threadId);
    if (channel.threadHandle != nullptr) {
        return;
    }
    const DWORD error = GetLastError();
    LPSTR systemText = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
    channel.AppendLogEntry(channel.logFileName, "\nSystem error message : ");
    channel.AppendLogEntry(channel.logFileName, systemText);
    LocalFree(systemText);
    channel.threadBusy.store(false, std::memory_order_release);
}

// ThreadFunction: one pass of the worker. The results are handed to the host's thread by
// setting threadFinished after everything is stored; a failure ends in the error shutdown.
template <class Channel>
bool threadFunction(Channel& channel, Allocator& allocator) {
    try {
        LinkedCycle<Channel>(channel, allocator).cycle.compute();
        channel.threadFinished.store(true, std::memory_order_release);
        return true;
    } catch (const std::exception& error) {
        channel.ShutDownDP(error.what());
        return true;
    }
}

template <class Channel>
void updateQuest(Channel& channel, Allocator& allocator) {
    LinkedCycle<Channel>(channel, allocator).cycle.publish();
}

template <class Channel>
void shutDown(Channel& channel, const std::string& message, Allocator& allocator) {
    if (channel.threadLogFileName != nullptr) {
        channel.AppendLogEntry(channel.threadLogFileName, "ShutDown()");
        channel.AppendLogEntry(channel.threadLogFileName, message.c_str());
    }
    LinkedCycle<Channel>(channel, allocator).cycle.shutDown(message);

    channel.threadFinished.store(false, std::memory_order_release);
    // The worker's handle is the host thread's to close, at its next call: a worker that fails
    // at once could otherwise close it before CreateThread has even handed it over. On the
    // host's thread no handle is held here, the idle call having closed it first.
    // Last: from here on the host's thread may read a new request.
    channel.threadBusy.store(false, std::memory_order_release);
}

template <class Channel>
void clearData(Channel& channel, Allocator& allocator) {
    LinkedCycle<Channel>(channel, allocator).cycle.clear();
}

}  // namespace channel_calls
