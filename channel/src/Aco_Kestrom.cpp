// The channel object: links, construction, copying, destruction, persistence, and the
// checking, barring and rescaling operations it hands to the allocation library.
#include "channel/Aco_Kestrom.h"

#include <utility>

#include "allocation/BarringAndRescaling.h"

namespace {

enum class LinkType { Value, Vector, Text };

struct LinkDeclaration {
    LinkType type;
    const char* name;
    int direction;  // 1: the channel reads the link, 0: writes it, 2: both
};

// Indexed by Aco_Kestrom::Link.
constexpr LinkDeclaration kLinks[Aco_Kestrom::kLinkCount] = {
    {LinkType::Value, "Number of Thrusters", 1},
    {LinkType::Value, "ThrusterArrayRowIndex", 0},
    {LinkType::Value, "ForceColumn in ThrusterArray", 2},
    {LinkType::Value, "AngleColumn in ThrusterArray (RAD)", 2},
    {LinkType::Vector, "RelPositionColumn in ThrusterArray", 1},
    {LinkType::Value, "TypeColumn in ThrusterArray", 1},
    {LinkType::Value, "IsActiveColumn in ThrusterArray", 1},
    {LinkType::Value, "MaxForceColumn in ThrusterArray", 1},
    {LinkType::Value, "ReversePenaltyColumn in ThrusterArray", 1},
    {LinkType::Value, "StartAngleColumn in ThrusterArray (RAD)", 1},
    {LinkType::Value, "MaxRotationColumn in ThrusterArray (RAD)", 1},
    {LinkType::Vector, "Thrust Needed (Fwd, Swd, Rot)", 1},
    {LinkType::Vector, "Thrust Generated (Fwd, Swd, Rot)", 0},
    {LinkType::Value, "Energy Generated", 0},
    {LinkType::Value, "Action in Extrema", 1},
    {LinkType::Value, "Number of active thrusters in previous calculation", 0},
    {LinkType::Text, "Error Message", 0},
    {LinkType::Value, "Error?", 0},
};

}  // namespace

Aco_Kestrom::Aco_Kestrom()
    : Vro_Channel(),
      ChannelExtension<Aco_Kestrom>(),
      threadHandle(nullptr),
      threadBusy(false),
      threadFinished(false),
      threadId(0),
      activeThrusters(0),
      numberOfThrusters(0),
      actionInExtrema(0),
      logFileName(nullptr),
      threadLogFileName(nullptr) {
    CE_SetSelf(this);
    logFileName = "KestromLog.txt";
    threadLogFileName = "KestromThreadLog.txt";
    SetChannelName("Kestrom");
    for (const LinkDeclaration& link : kLinks) {
        switch (link.type) {
            case LinkType::Value:
                CreateValueLink(link.name, link.direction, false);
                break;
            case LinkType::Vector:
                CreateVectorLink(link.name, link.direction, false);
                break;
            case LinkType::Text:
                CreateStringLink(link.name, link.direction, false);
                break;
        }
    }
    threadBusy.store(false, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
}

Aco_Kestrom::Aco_Kestrom(const Aco_Kestrom& other)
    : Vro_Channel(other),
      ChannelExtension<Aco_Kestrom>(other),
      threadHandle(nullptr),
      threadBusy(false),
      threadFinished(false),
      threadId(0),
      activeThrusters(other.activeThrusters),
      numberOfThrusters(other.numberOfThrusters),
      actionInExtrema(other.actionInExtrema),
      logFileName(other.logFileName),
      threadLogFileName(other.threadLogFileName) {
    // The links belong to this channel's own slots, not to the source's.
    CE_SetSelf(this);
    copyRequestState(other);
}

Aco_Kestrom& Aco_Kestrom::operator=(const Aco_Kestrom& other) {
    if (this == &other) {
        return *this;
    }
    waitForWorker();
    Vro_Channel::operator=(other);
    ChannelExtension<Aco_Kestrom>::operator=(other);
    CE_SetSelf(this);
    threadBusy.store(false, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
    threadId = 0;
    activeThrusters = other.activeThrusters;
    numberOfThrusters = other.numberOfThrusters;
    actionInExtrema = other.actionInExtrema;
    logFileName = other.logFileName;
    threadLogFileName = other.threadLogFileName;
    copyRequestState(other);
    return *this;
}

Aco_Kestrom::~Aco_Kestrom() {
    waitForWorker();
}

void Aco_Kestrom::copyRequestState(const Aco_Kestrom& other) {
    // While the source's worker computes, its request state is the worker's alone.
    const bool workerActive = other.threadBusy.load(std::memory_order_acquire) &&
                              !other.threadFinished.load(std::memory_order_acquire);
    if (workerActive) {
        problem = allocProblem();
        ship.clear();
        barredAngles.clear();
        demandedThrust = forceMom();
        generatedThrust = forceMom();
        return;
    }
    problem = other.problem;
    ship = other.ship;
    barredAngles = other.barredAngles;
    demandedThrust = other.demandedThrust;
    generatedThrust = other.generatedThrust;
}

void Aco_Kestrom::waitForWorker() {
    if (threadHandle != nullptr) {
        WaitForSingleObject(threadHandle, INFINITE);
        closeThreadHandle();
    }
    threadBusy.store(false, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
}

void Aco_Kestrom::closeThreadHandle() {
    if (threadHandle != nullptr) {
        CloseHandle(threadHandle);
        threadHandle = nullptr;
    }
}

bool Aco_Kestrom::SaveChannel(VroFileSaver& saver) {
    return Vro_Channel::SaveChannel(saver);
}

bool Aco_Kestrom::LoadChannel(VroFileLoader& loader, Vro_ChannelGroup* group) {
    return Vro_Channel::LoadChannel(loader, group);
}

void Aco_Kestrom::DoDependencyInit(Vro_List*) {}

void Aco_Kestrom::cleardata() {
    numberOfThrusters = 0;
    activeThrusters = 0;
    ship.clear();
    generatedThrust = forceMom(0.0, 0.0, 0.0, 0.0);
    barredAngles.clear();
}

bool Aco_Kestrom::checkresult(forceMom& requested, forceMom& achieved, double threshold,
                              double tolerance) {
    return checkresult(requested.fwd, achieved.fwd, threshold, tolerance) &&
           checkresult(requested.swd, achieved.swd, threshold, tolerance) &&
           checkresult(requested.rot, achieved.rot, threshold, tolerance);
}

bool Aco_Kestrom::checkresult(double requested, double achieved, double threshold,
                              double tolerance) {
    return ::checkresult(requested, achieved, threshold, tolerance);
}

double Aco_Kestrom::getDiff(forceMom a, forceMom b) {
    return ::getDiff(a, b);
}

void Aco_Kestrom::rescale() {
    BarringAndRescaling(ship, problem, barredAngles, demandedThrust, generatedThrust).rescale();
}

void Aco_Kestrom::processBarred(forceMom demand) {
    BarringAndRescaling(ship, problem, barredAngles, demandedThrust, generatedThrust)
        .processBarred(demand);
}

forceMom Aco_Kestrom::barThruster(const forceMom& demand, Shipobj& trialShip,
                                  std::vector<double> angles) {
    return BarringAndRescaling(ship, problem, barredAngles, demandedThrust, generatedThrust)
        .barThruster(demand, trialShip, std::move(angles));
}

void Aco_Kestrom::barMainThrusters(const forceMom& demand, Shipobj& trialShip) {
    BarringAndRescaling(ship, problem, barredAngles, demandedThrust, generatedThrust)
        .barMainThrusters(demand, trialShip);
}
