// A whole request through the plug-in, as a host makes it: the ferry's thruster table and
// its transit demand in a scene of the stand-in host, timed from the host call that reads
// the request to the host call that publishes the result. The worker runs the first
// solve, the barring search over the four limited azimuths and whatever follows it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "Ferry.h"
#include "channel/Aco_Kestrom.h"
#include "host/ArrayTable.h"
#include "host/ChildChannels.h"

namespace {

using InitDLLFunction = Vro_Channel* (*)();

// Loaded once and kept, as a host keeps its plug-ins.
InitDLLFunction initDLL() {
    static const InitDLLFunction entry = [] {
        void* library = dlopen(KESTROM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        return library == nullptr ? nullptr
                                  : reinterpret_cast<InitDLLFunction>(dlsym(library, "InitDLL"));
    }();
    return entry;
}

enum Column { kForce, kAngle, kPosX, kPosY, kPosZ, kType, kActive, kMax, kPenalty, kStart, kRot };

// The ferry's table, its demand and every output, linked to one channel.
struct FerryScene {
    FerryScene()
        : table(4, 11),
          rowIndex(table),
          force(table, kForce),
          angle(table, kAngle),
          position(table, kPosX),
          type(table, kType),
          active(table, kActive),
          maxForce(table, kMax),
          penalty(table, kPenalty),
          start(table, kStart),
          maxRotation(table, kRot),
          count(4.0f),
          action(4.0f),
          channel(initDLL()()),
          kestrom(static_cast<Aco_Kestrom*>(channel)) {
        for (int i = 0; i < 4; ++i) {
            const ferry::Corner& c = ferry::kCorners[i];
            // The table's position is (sideways, up, forward).
            table.SetCell(i, kPosX, static_cast<float>(c.sideways));
            table.SetCell(i, kPosZ, static_cast<float>(c.forward));
            table.SetCell(i, kType, static_cast<float>(ferry::kLimitedRotation));
            table.SetCell(i, kActive, 1.0f);
            table.SetCell(i, kMax, static_cast<float>(ferry::kMaxForce));
            table.SetCell(i, kPenalty, 1.0f);
            table.SetCell(i, kStart, static_cast<float>(c.startAngle));
            table.SetCell(i, kRot, static_cast<float>(ferry::kHalfRange));
        }
        demand.SetVector({static_cast<float>(ferry::kFwd), 0.0f, static_cast<float>(ferry::kRot)});
        const std::array<Vro_Channel*, 18> children = {
            &count,  &rowIndex, &force,   &angle,    &position,    &type,
            &active, &maxForce, &penalty, &start,    &maxRotation, &demand,
            &thrust, &energy,   &action,  &previous, &message,     &errorFlag};
        for (int i = 0; i < 18; ++i) {
            channel->ConnectChild(i, children[i]);
        }
    }
    ~FerryScene() { delete channel; }

    // Thrusters idle at the centre of their range and nothing published, so that the next
    // call starts a computation from the same state every time.
    void reset() {
        for (int i = 0; i < 4; ++i) {
            table.SetCell(i, kForce, 0.0f);
            table.SetCell(i, kAngle, static_cast<float>(ferry::kCorners[i].startAngle));
        }
        previous.SetValue(0.0f);
        message.SetText("");
    }

    bool busy() const { return kestrom->threadBusy.load(std::memory_order_acquire); }

    // From the call that reads the request to the call that publishes its result. The
    // host side polls every 0.1 ms, far more often than a host steps, and sleeps in
    // between, so that the process's CPU time is nearly all the worker's.
    void request() {
        channel->CallChannel();
        while (busy()) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            channel->CallChannel();
        }
    }

    Vro_ArrayTable table;
    Vro_ArrayRowIndex rowIndex;
    Vro_ArrayColumnValue force, angle;
    Vro_ArrayColumnVector position;
    Vro_ArrayColumnValue type, active, maxForce, penalty, start, maxRotation;
    Vro_ValueChannel count, energy, action, previous, errorFlag;
    Vro_VectorChannel demand, thrust;
    Vro_TextChannel message;
    Vro_Channel* channel;
    Aco_Kestrom* kestrom;
};

void FerryTransitRequest(benchmark::State& state) {
    if (initDLL() == nullptr) {
        state.SkipWithError("the plug-in does not load");
        return;
    }
    FerryScene scene;
    scene.reset();
    scene.request();
    const char* text = scene.message.GetText();
    if (text == nullptr || std::strcmp(text, "No errors") != 0) {
        state.SkipWithError(("no publication: " + std::string(text ? text : "")).c_str());
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
        scene.request();
    }
    const D3DXVECTOR3 produced = scene.thrust.GetVector();
    state.counters["fwd"] = produced.x;
    state.counters["rot"] = produced.z;
}

}  // namespace

BENCHMARK(FerryTransitRequest)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
