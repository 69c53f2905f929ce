// The request cycle: reading a request through the links on the host's thread, computing it
// on a worker thread, publishing the result, and the error shutdown.
//
// There is no lock. threadBusy and threadFinished hand the request state (ship, problem,
// barredAngles, demandedThrust, generatedThrust, actionInExtrema) from one thread to the
// other: the host's thread leaves it alone while a computation runs, and the worker stores
// everything before it sets threadFinished (release; the host reads it with acquire).
#include <cmath>
#include <exception>

#include "allocation/Publication.h"
#include "allocation/RequestPipeline.h"
#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterRow.h"
#include "allocation/Thrusterobj.h"
#include "channel/Aco_Kestrom.h"
#include "channel/OutputTexts.h"
#include "platform/WinApi.h"

using namespace kestrom_links;

namespace {

constexpr double kFreeAngle = -1.0;
constexpr int kDefaultType = 1;

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
        CE_SetString(
            "Please provide a Value Channel at link 2 to allow reading the necessary values "
            "from an array table",
            kErrorMessage);
        return;
    }
    if (!CE_IsChildLinked(kThrustNeeded)) {
        CE_SetString("Please provide a Vector with the demanded thrust at link 12", kErrorMessage);
        return;
    }
    numberOfThrusters = CE_GetValue(kNumberOfThrusters, 0);
    if (numberOfThrusters < 2) {
        return;
    }
    if (numberOfThrusters > kMaxRows) {
        numberOfThrusters = kMaxRows;
        ShutDownDP(
            "The thruster table has more than 128 rows; rows from 128 on cannot be addressed.");
        return;
    }
    const int previousActive = CE_GetValue(kPreviousActive, 0);
    activeThrusters = numberOfThrusters;
    barredAngles.resize(static_cast<std::size_t>(numberOfThrusters), kFreeAngle);

    bool settingsMeetDemand = false;
    try {
        D3DXVECTOR3 demand = {0.0f, 0.0f, 0.0f};
        CE_GetVector(demand, kThrustNeeded);
        demandedThrust = raisedDemand(forceMom(demand.x, demand.y, demand.z, 0.0));
        for (int row = 0; row < numberOfThrusters; ++row) {
            readRow(row);
        }
        forceMom present = presentThrust(ship);
        settingsMeetDemand = checkresult(demandedThrust, present, pipeline::kCheckThreshold,
                                         pipeline::kCheckTolerance);
        actionInExtrema = CE_GetValue(kActionInExtrema, pipeline::kDefaultActionInExtrema);
    } catch (const std::exception& error) {
        // The rows read before the failure are still computed.
        ShutDownDP(error.what());
    }
    if (!(settingsMeetDemand && previousActive == activeThrusters)) {
        StartThread();
    }
}

// Reads table row `row` and adds it to the ship when active; the model may reject it.
void Aco_Kestrom::readRow(int row) {
    CE_SetValue(row, kRowIndex);
    if (!isActiveRow(CE_GetValue(kActiveColumn, 0))) {
        --activeThrusters;
        return;
    }
    ThrusterRow cells;
    cells.force = CE_GetValue(kForceColumn, 0.0f);
    cells.angle = CE_GetValue(kAngleColumn, 0.0f);
    D3DXVECTOR3 position = {0.0f, 0.0f, 0.0f};
    CE_GetVector(position, kPositionColumn);
    cells.position[0] = position.x;
    cells.position[1] = position.y;
    cells.position[2] = position.z;
    cells.type = CE_GetValue(kTypeColumn, kDefaultType);
    cells.maxForce = CE_GetValue(kMaxForceColumn, 0.0f);
    cells.reversePenalty = CE_GetValue(kReversePenaltyColumn, 0.0f);
    cells.startAngle = CE_GetValue(kStartAngleColumn, 0.0f);
    float maxRotation = 0.0f;
    if (CE_GetValue(maxRotation, kMaxRotationColumn)) {
        cells.maxRotation = maxRotation;
    }
    addThrusterRow(row, cells, ship, barredAngles);
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
        const RequestState state{ship,           problem,         barredAngles,
                                 demandedThrust, generatedThrust, actionInExtrema};
        // The steps after the solve are this channel's own overridable operations.
        runRequestPipeline(
            state, [this](const forceMom& demand) { processBarred(demand); },
            // The check compares the channel's own demand and result, which the state holds.
            [this](const forceMom&, const forceMom&) {
                return checkresult(demandedThrust, generatedThrust, pipeline::kCheckThreshold,
                                   pipeline::kCheckTolerance);
            },
            [this] { rescale(); });
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
    if (CE_IsChildLinked(kRowIndex)) {
        for (const Thrusterobj& t : ship.thrusters()) {
            const PublishedRow published = publishedRow(t);
            CE_SetValue(published.row, kRowIndex);
            CE_SetValue(published.force, kForceColumn);
            CE_SetValue(published.angle, kAngleColumn);
        }
    }
    const D3DXVECTOR3 generated = {static_cast<float>(generatedThrust.fwd),
                                   static_cast<float>(generatedThrust.swd),
                                   static_cast<float>(generatedThrust.rot)};
    CE_SetVector(generated, kThrustGenerated);
    CE_SetValue(static_cast<float>(generatedThrust.extra), kEnergyGenerated);
    CE_SetValue(activeThrusters, kPreviousActive);
    CE_SetString(kNoErrorsText, kErrorMessage);
    CE_SetValue(0, kErrorFlag);
}

void Aco_Kestrom::ShutDownDP(std::string message) {
    if (threadLogFileName != nullptr) {
        AppendLogEntry(threadLogFileName, "ShutDown()");
        AppendLogEntry(threadLogFileName, message.c_str());
    }
    if (CE_IsChildLinked(kRowIndex)) {
        // Every row, active or not; the angles stay as they are.
        for (int row = 0; row < numberOfThrusters; ++row) {
            CE_SetValue(row, kRowIndex);
            CE_SetValue(0, kForceColumn);
        }
    }
    const D3DXVECTOR3 zero = {0.0f, 0.0f, 0.0f};
    CE_SetVector(zero, kThrustGenerated);
    CE_SetValue(0, kEnergyGenerated);
    CE_SetValue(activeThrusters, kPreviousActive);
    CE_SetString(shutdownText(message), kErrorMessage);
    CE_SetValue(1, kErrorFlag);

    threadFinished.store(false, std::memory_order_release);
    // The worker's handle is the host thread's to close, at its next call: a worker that fails
    // at once could otherwise close it before CreateThread has even handed it over. On the
    // host's thread no handle is held here, the idle call having closed it first.
    // Last: from here on the host's thread may read a new request.
    threadBusy.store(false, std::memory_order_release);
}
