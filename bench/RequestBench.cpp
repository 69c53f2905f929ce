// A whole request through the plug-in, as a host makes it: the ferry's thruster table and
// its transit demand in a scene of the stand-in host, timed from the host call that reads
// the request to the host call that publishes the result. The worker runs the first
// solve, the barring search over the four limited azimuths and whatever follows it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "Ferry.h"
#include "channel/Aco_Kestrom.h"
#include "scene/HostScene.h"

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

using namespace kestrom_links;

// The ferry's table, its demand and every output, linked to one channel.
struct FerryScene {
    FerryScene() : host(4), channel(initDLL()()), kestrom(static_cast<Aco_Kestrom*>(channel)) {
        for (int i = 0; i < 4; ++i) {
            const ferry::Corner& c = ferry::kCorners[i];
            // The table's position is (sideways, up, forward).
            host.setRow(
                i, {0.0f, 0.0f, static_cast<float>(c.sideways), 0.0f, static_cast<float>(c.forward),
                    static_cast<float>(ferry::kLimitedRotation), 1.0f,
                    static_cast<float>(ferry::kMaxForce), 1.0f, static_cast<float>(c.startAngle),
                    static_cast<float>(ferry::kHalfRange)});
        }
        host.value(kActionInExtrema).SetValue(4.0f);
        host.setDemand(ferry::kFwd, 0.0, ferry::kRot);
        host.connectAll(*channel);
    }
    ~FerryScene() { delete channel; }

    // Thrusters idle at the centre of their range and nothing published, so that the next
    // call starts a computation from the same state every time.
    void reset() {
        for (int i = 0; i < 4; ++i) {
            host.table().SetCell(i, kForceCell, 0.0f);
            host.table().SetCell(i, kAngleCell, static_cast<float>(ferry::kCorners[i].startAngle));
        }
        host.value(kPreviousActive).SetValue(0.0f);
        host.text(kErrorMessage).SetText("");
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

    kestrom_scene::HostScene host;
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
    const char* text = scene.host.text(kErrorMessage).GetText();
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
    const D3DXVECTOR3 produced = scene.host.vector(kThrustGenerated).GetVector();
    state.counters["fwd"] = produced.x;
    state.counters["rot"] = produced.z;
}

}  // namespace

BENCHMARK(FerryTransitRequest)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
