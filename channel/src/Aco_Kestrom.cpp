// The channel object: links, construction, copying, destruction, persistence, and the
// checking, barring and rescaling operations it hands to the allocation library.
#include "channel/Aco_Kestrom.h"

#include <utility>

#include "ChannelCalls.h"
#include "ChannelSteps.h"
#include "Logs.h"
#include "allocation/BarringAndRescaling.h"

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
    channel_calls::createLinks(*this);
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
    channel_calls::waitForWorker(*this);
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
    channel_calls::waitForWorker(*this);
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

bool Aco_Kestrom::SaveChannel(VroFileSaver& saver) {
    return Vro_Channel::SaveChannel(saver);
}

bool Aco_Kestrom::LoadChannel(VroFileLoader& loader, Vro_ChannelGroup* group) {
    return Vro_Channel::LoadChannel(loader, group);
}

void Aco_Kestrom::DoDependencyInit(Vro_List*) {}

void Aco_Kestrom::cleardata() {
    ChannelSteps steps(*this);
    channel_calls::clearData(*this, steps);
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

int Aco_Kestrom::AppendLogEntry(const char* path, const char* text) {
    return channel_logs::appendLogEntry(path, text);
}

int Aco_Kestrom::WriteTimeStamp(FILE* file) {
    return channel_logs::writeTimeStamp(file);
}
