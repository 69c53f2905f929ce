// The host scene around one plug-in channel: the thruster table as an array table with a
// channel per column, the demand, the settings and the output channels, connected to the
// channel's links; and the host's side of a request, calling the channel step by step.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/Vro_Channel.h"
#include "scenario/OutputLinks.h"
#include "scenario/RequestReport.h"
#include "scenario/Scenario.h"
#include "scene/HostScene.h"

namespace kestrom_sim {

// Deletes a channel through its virtual destructor, which waits for a running computation.
struct ChannelDeleter {
    void operator()(Vro_Channel* channel) const { delete channel; }
};
using ChannelPtr = std::unique_ptr<Vro_Channel, ChannelDeleter>;

enum class RequestEnd {
    published,   // a computation ran and its results were published
    notStarted,  // the table's present settings already met the demand
    shutDown,    // the channel shut the thrusters down, while reading the request or
                 // during the computation
    timedOut,    // no result within the time limit; the computation may still be running
};

// What the host sees after one request: the table's force and angle cells and the output
// links, as the channel left them.
struct RequestResult {
    Demand demand{};
    RequestEnd end = RequestEnd::published;
    bool started = false;
    std::vector<PublishedCells> rows;
    OutputLinks outputs;
    // Texts that the channel wrote to "Error Message" during the request and overwrote
    // before it ended (a shutdown followed by a new computation).
    std::vector<std::string> overwrittenMessages;
    // Every error shutdown during the request, with the table's cells at that moment, even
    // when the channel went on and published a computation later in the same request.
    struct Shutdown {
        std::string message;
        std::vector<PublishedCells> rows;
    };
    std::vector<Shutdown> shutdowns;
    // The rows that the publication wrote, in the order written (empty without one).
    std::vector<int> publishedRows;
    double seconds = 0.0;  // from the first call of the request to its end
};

// Records, for the host, which links the channel wrote and from which thread: the host
// tells from it what a call of the channel did. Written from both threads.
class LinkWriteJournal {
  public:
    struct Counts {
        int hostRowSelects = 0;    // row numbers written on the host thread
        int hostPublications = 0;  // "Error?" set to 0 on the host thread
        int hostShutdowns = 0;     // "Error?" set to another value on the host thread
        int workerShutdowns = 0;   // "Error?" written by the worker thread
    };

    LinkWriteJournal() : hostThread_(std::this_thread::get_id()) {}
    void rowSelected(int row);
    // rows: the table's cells when the flag was written.
    void errorFlagWritten(float value, std::vector<PublishedCells> rows);
    void messageWritten(const char* text);

    Counts counts() const;
    // The texts written to "Error Message" since the last call, oldest first.
    std::vector<std::string> takeMessages();
    // The shutdowns since the last call, oldest first.
    std::vector<RequestResult::Shutdown> takeShutdowns();
    // The rows selected on the host thread since the last call.
    std::vector<int> takeSelectedRows();

  private:
    bool onHostThread() const { return std::this_thread::get_id() == hostThread_; }

    mutable std::mutex mutex_;
    std::thread::id hostThread_;
    Counts counts_;
    std::vector<std::string> messages_;
    std::vector<RequestResult::Shutdown> shutdowns_;
    std::vector<int> selectedRows_;
};

class Scene {
  public:
    // Builds the scene for scenario and connects it to channel, which the scene then owns.
    // Throws InputError naming pluginName and the link when the channel lacks one of the
    // links it needs.
    Scene(ChannelPtr channel, const Scenario& scenario, const std::string& pluginName);
    // Destroys the channel first (waiting for its worker), then the channels it links to.
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Sets the demand and calls the channel until that request has ended, sleeping briefly
    // between calls. Gives up after timeout.
    RequestResult request(const Demand& demand, std::chrono::duration<double> timeout);

    // Gives up the channel without destroying it (its worker may still run): for leaving
    // after a time-out.
    void abandonChannel() { channel_.release(); }

    const Scenario& scenario() const { return scenario_; }

  private:
    enum class CallKind { busy, idleRead, publication };
    CallKind callChannel();
    RequestResult collect(const Demand& demand, RequestEnd end, bool started);

    // Declared before the channel: the channel is destroyed first.
    Scenario scenario_;
    LinkWriteJournal journal_;
    kestrom_scene::HostScene host_;
    std::chrono::steady_clock::time_point started_;
    std::vector<int> publishedRows_;
    ChannelPtr channel_;
};

}  // namespace kestrom_sim
