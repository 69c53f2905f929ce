// The Kestrom channel: reads the demanded thrust and the thruster table through its links,
// allocates the thrust on a worker thread, and writes each thruster's force and angle back
// into the table.
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
#include "platform/ThreadTypes.h"

namespace channel_calls {
template <class Channel>
void createLinks(Channel& channel);
}  // namespace channel_calls

// The plug-in exports only its two entry points; hosts reach the class through its virtual
// operations.
class Aco_Kestrom : public Vro_Channel, public ChannelExtension<Aco_Kestrom> {
  public:
    static constexpr const char* kClassName = "Aco_Kestrom";

    // The links are listed in channel/LinkTable.h.

    // row numbers are written back through an 8-bit field: rows 0 to 127 only.
    static constexpr int kMaxRows = kMaxTableRows;

    Aco_Kestrom();
    // A copy never shares the source's worker: it starts Idle without a thread handle, and
    // takes the request state only when no worker of the source is using it.
    Aco_Kestrom(const Aco_Kestrom& other);
    // Waits for this channel's own running worker first; then copies as the copy constructor.
    Aco_Kestrom& operator=(const Aco_Kestrom& other);
    // Waits, without a time limit, until a running worker has ended.
    ~Aco_Kestrom() override;

    // One host step: collect and publish a finished computation, or read a new request and
    // start one when the table's present settings miss the demand. Never waits.
    void CallChannel() override;
    bool SaveChannel(VroFileSaver& saver) override;
    bool LoadChannel(VroFileLoader& loader, Vro_ChannelGroup* group) override;
    void DoDependencyInit(Vro_List* list) override;

    // The channel's own operations, in this order after those of Vro_Channel.
    virtual void cleardata();
    // Sets every row's force to zero, publishes zero thrust, raises "Error?" with the shutdown
    // text, logs the event and leaves the channel Idle.
    virtual void ShutDownDP(std::string message);
    virtual void StartThread();
    virtual bool ThreadFunction();
#if defined(_MSC_VER)
    // The Microsoft C++ ABI lays out adjacent overloads in reverse order of declaration (a
    // property of the compiler, not of Windows: MinGW follows the declaration order).
    virtual bool checkresult(double requested, double achieved, double threshold, double tolerance);
    virtual bool checkresult(forceMom& requested, forceMom& achieved, double threshold,
                             double tolerance);
#else
    virtual bool checkresult(forceMom& requested, forceMom& achieved, double threshold,
                             double tolerance);
    virtual bool checkresult(double requested, double achieved, double threshold, double tolerance);
#endif
    virtual double getDiff(forceMom a, forceMom b);
    virtual void rescale();
    virtual void processBarred(forceMom demand);
    virtual void UpdateQuest();

    forceMom barThruster(const forceMom& demand, Shipobj& ship, std::vector<double> angles);
    void barMainThrusters(const forceMom& demand, Shipobj& ship);

    // 1 without writing when path or text is null or the file cannot be opened, else 0.
    int AppendLogEntry(const char* path, const char* text);
    // Writes "yy/mm/dd hh:mm:ss > " in local time; 1 when file is null, else 0.
    int WriteTimeStamp(FILE* file);

    // The state below is public for host tools and tests to read. While threadBusy is set and
    // threadFinished clear, the worker owns the request state; read it only after seeing
    // threadFinished set or threadBusy clear (acquire loads).
    platform::ThreadHandle threadHandle;  // used by the host's thread only
    std::atomic<bool> threadBusy;
    std::atomic<bool> threadFinished;
    platform::ThreadId threadId;
    allocProblem problem;
    Shipobj ship;
    std::vector<double> barredAngles;
    std::int32_t activeThrusters;
    std::int32_t numberOfThrusters;
    forceMom demandedThrust;
    forceMom generatedThrust;
    std::int32_t actionInExtrema;
    const char* logFileName;
    const char* threadLogFileName;

  private:
    template <class Channel>
    friend void channel_calls::createLinks(Channel& channel);

    void copyRequestState(const Aco_Kestrom& other);
};
