// The channel's host calls around the request cycle (allocation/RequestCycle.h): reading a
// request on the host's thread, computing it on a worker thread, publishing on the host's
// thread, and the error shutdown with its log entries.
//
// There is no lock. threadBusy and threadFinished hand the request state (ship, problem,
// barredAngles, demandedThrust, generatedThrust, actionInExtrema) from one thread to the
// other: the host's thread leaves it alone while a computation runs, and the worker stores
// everything before it sets threadFinished (release; the host reads it with acquire).
#include <exception>

#include "ChannelCycle.h"
#include "allocation/OutputTexts.h"
#include "channel/Aco_Kestrom.h"
#include "platform/WinApi.h"

using namespace kestrom_links;

namespace {

// Entry of the worker thread; parameter is the channel.
DWORD WINAPI runWorker(LPVOID parameter) {
    auto* channel = static_cast<Aco_Kestrom*>(parameter);
    while (!channel->ThreadFunction()) {
    }
    return 0;
}

}  // namespace

void Aco_Kestrom::CallChannel() {
    if (threadBusy.load(std::memory_order_acquire)) {
        if (!threadFinished.load(std::memory_order_acquire)) {
            return;
        }
        threadFinished.store(false, std::memory_order_release);
        closeThreadHandle();
        threadBusy.store(false, std::memory_order_release);
        UpdateQuest();
        return;
    }
    // A worker that ended in the error shutdown leaves its handle for this thread to close.
    closeThreadHandle();

    cleardata();
    if (!CE_IsChildLinked(kRowIndex)) {
        CE_SetString(kNoRowIndexText, kErrorMessage);
        return;
    }
    if (!CE_IsChildLinked(kThrustNeeded)) {
        CE_SetString(kNoDemandText, kErrorMessage);
        return;
    }
    const RequestReading reading = ChannelCycle(*this).cycle.read();
    if (!reading.shutdown.empty()) {
        ShutDownDP(reading.shutdown);
    }
    if (reading.compute) {
        StartThread();
    }
}

void Aco_Kestrom::StartThread() {
    if (threadBusy.load(std::memory_order_acquire)) {
        return;
    }
    closeThreadHandle();
    threadBusy.store(true, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
    threadHandle = CreateThread(nullptr, 0, runWorker, this, 0, &threadId);
    if (threadHandle != nullptr) {
        return;
    }
    const DWORD error = GetLastError();
    LPSTR systemText = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
    AppendLogEntry(logFileName, "\nSystem error message : ");
    AppendLogEntry(logFileName, systemText);
    LocalFree(systemText);
    threadBusy.store(false, std::memory_order_release);
}

bool Aco_Kestrom::ThreadFunction() {
    try {
        ChannelCycle(*this).cycle.compute();
        return finishPass();
    } catch (const std::exception& error) {
        ShutDownDP(error.what());
        return true;
    }
}

// Hands the results to the host's thread: everything is stored before the flag is set.
bool Aco_Kestrom::finishPass() {
    threadFinished.store(true, std::memory_order_release);
    return true;
}

void Aco_Kestrom::UpdateQuest() {
    ChannelCycle(*this).cycle.publish();
}

void Aco_Kestrom::ShutDownDP(std::string message) {
    if (threadLogFileName != nullptr) {
        AppendLogEntry(threadLogFileName, "ShutDown()");
        AppendLogEntry(threadLogFileName, message.c_str());
    }
    ChannelCycle(*this).cycle.shutDown(message);

    threadFinished.store(false, std::memory_order_release);
    // The worker's handle is the host thread's to close, at its next call: a worker that fails
    // at once could otherwise close it before CreateThread has even handed it over. On the
    // host's thread no handle is held here, the idle call having closed it first.
    // Last: from here on the host's thread may read a new request.
    threadBusy.store(false, std::memory_order_release);
}
