// The request cycle: reading a request through the links on the host's thread, computing it
// on a worker thread, publishing the result, and the error shutdown.
//
// There is no lock. threadBusy and threadFinished hand the request state (ship, problem,
// barredAngles, demandedThrust, generatedThrust, actionInExtrema) from one thread to the
// other: the host's thread leaves it alone while a computation runs, and the worker stores
// everything before it sets threadFinished (release; the host reads it with acquire).
#include <cmath>
#include <exception>

#include "allocation/Thrusterobj.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"
#include "channel/Aco_Kestrom.h"

namespace {

// A produced thrust meets the demand when each component is within 0.1 % (or, for
// components under 0.01, within 0.001 absolute).
constexpr double kCheckThreshold = 0.01;
constexpr double kCheckTolerance = 0.001;
// Demanded components smaller than this are raised to it, so none is ever zero.
constexpr double kSmallestDemand = 0.01;
constexpr double kFreeAngle = -1.0;
constexpr int kDefaultType = 1;
constexpr int kDefaultActionInExtrema = 4;
constexpr int kRescaleAction = 7;
constexpr double kDefaultReversePenalty = 0.1;
// A fixed-direction thruster is given a nominal range so that it counts as in range.
constexpr double kFixedMaxRotation = 0.01;
// A published angle may miss the range by this much before the force is shown as zero;
// fixed-direction thrusters are allowed more.
constexpr double kRangeTolerance = 0.001;
constexpr double kFixedRangeTolerance = 0.1;

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
        demandedThrust = forceMom(demand.x, demand.y, demand.z, 0.0);
        for (double* component : {&demandedThrust.fwd, &demandedThrust.swd, &demandedThrust.rot}) {
            if (std::fabs(*component) < kSmallestDemand) {
                *component = kSmallestDemand;
            }
        }
        for (int row = 0; row < numberOfThrusters; ++row) {
            readRow(row);
        }
        // The thrust of the table's present settings, with forceY counted as sideways force
        // with plus sign.
        forceMom present(0.0, 0.0, 0.0, 0.0);
        for (const Thrusterobj& t : ship.thrusters()) {
            present.fwd += t.forceX();
            present.swd += t.forceY();
            present.rot += t.forceY() * t.posX() - t.forceX() * t.posY();
        }
        settingsMeetDemand = checkresult(demandedThrust, present, kCheckThreshold, kCheckTolerance);
        actionInExtrema = CE_GetValue(kActionInExtrema, kDefaultActionInExtrema);
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
    if (CE_GetValue(kActiveColumn, 0) < 1) {
        --activeThrusters;
        return;
    }
    const float force = CE_GetValue(kForceColumn, 0.0f);
    float angle = CE_GetValue(kAngleColumn, 0.0f);
    D3DXVECTOR3 position = {0.0f, 0.0f, 0.0f};
    CE_GetVector(position, kPositionColumn);
    const int type = CE_GetValue(kTypeColumn, kDefaultType);
    const float maxForce = CE_GetValue(kMaxForceColumn, 0.0f);
    const float reversePenaltyCell = CE_GetValue(kReversePenaltyColumn, 0.0f);
    const float startAngle = CE_GetValue(kStartAngleColumn, 0.0f);
    // Without that column a thruster may point anywhere.
    float maxRotationCell = 0.0f;
    double maxRotation = CE_GetValue(maxRotationCell, kMaxRotationColumn)
                             ? static_cast<double>(maxRotationCell)
                             : kPi;

    double reversePenalty = reversePenaltyCell;
    if (reversePenalty == 0.0) {
        reversePenalty = kDefaultReversePenalty;
    }
    if (type == 1) {
        angle = startAngle;
        barredAngles[static_cast<std::size_t>(row)] = kTwoPi - static_cast<double>(startAngle);
        maxRotation = kFixedMaxRotation;
    }
    // Forward arm from z, sideways arm from x; y is the height and plays no part.
    ship.addThruster(Thrusterobj(static_cast<signed char>(row), position.z, position.x,
                                 static_cast<signed char>(type), maxForce, force, reversePenalty,
                                 angle, startAngle, maxRotation));
}

void Aco_Kestrom::StartThread() {
    if (threadBusy.load(std::memory_order_acquire)) {
        return;
    }
    closeThreadHandle();
    threadBusy.store(true, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
    threadHandle = CreateThread(nullptr, 0, ThreadStart, this, 0, &threadId);
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

DWORD WINAPI Aco_Kestrom::ThreadStart(LPVOID parameter) {
    auto* channel = static_cast<Aco_Kestrom*>(parameter);
    while (!channel->ThreadFunction()) {
    }
    return 0;
}

bool Aco_Kestrom::ThreadFunction() {
    try {
        generatedThrust = solveAllocation(barredAngles, demandedThrust, problem, ship);
        if (ship.hasLimitedRotation()) {
            processBarred(demandedThrust);
        }
        if (checkresult(demandedThrust, generatedThrust, kCheckThreshold, kCheckTolerance)) {
            return finishPass();
        }
        if (actionInExtrema == kRescaleAction) {
            rescale();
            return finishPass();
        }
        // The demand cannot be met: meet the components that "Action in Extrema" selects.
        const forceMom retryDemand(demandedThrust.fwd, demandedThrust.swd, demandedThrust.rot,
                                   static_cast<double>(actionInExtrema));
        generatedThrust = solveAllocation(barredAngles, retryDemand, problem, ship);
        if (ship.hasLimitedRotation()) {
            processBarred(retryDemand);
        }
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
            CE_SetValue(static_cast<int>(t.number()), kRowIndex);
            const double tolerance = t.type() == 1 ? kFixedRangeTolerance : kRangeTolerance;
            // Negative when the thruster is turned around and pushes backwards; zero when it
            // cannot take the direction at all.
            CE_SetValue(static_cast<float>(t.rangeStatus(tolerance) * t.force()), kForceColumn);
            CE_SetValue(static_cast<float>(t.effectiveAngle()), kAngleColumn);
        }
    }
    const D3DXVECTOR3 generated = {static_cast<float>(generatedThrust.fwd),
                                   static_cast<float>(generatedThrust.swd),
                                   static_cast<float>(generatedThrust.rot)};
    CE_SetVector(generated, kThrustGenerated);
    CE_SetValue(static_cast<float>(generatedThrust.extra), kEnergyGenerated);
    CE_SetValue(activeThrusters, kPreviousActive);
    CE_SetString("No errors", kErrorMessage);
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
    CE_SetString(
        "Unfortunately an error occurred. All Thrusters have been shutdown. Please switch to "
        "manual steering.\nThe official error message is:\n" +
            message,
        kErrorMessage);
    CE_SetValue(1, kErrorFlag);

    threadFinished.store(false, std::memory_order_release);
    // The worker's handle is the host thread's to close, at its next call: a worker that fails
    // at once could otherwise close it before CreateThread has even handed it over. On the
    // host's thread no handle is held here, the idle call having closed it first.
    // Last: from here on the host's thread may read a new request.
    threadBusy.store(false, std::memory_order_release);
}
