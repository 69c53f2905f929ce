// A host scene around the plug-in: the library loaded as a host loads it (LoadLibrary on
// Windows, dlopen elsewhere), a channel with its 18 links wired to a thruster table and to
// plain host channels, the host's side of a request, and a fresh working directory per test
// for the channels' log files.
#pragma once

#if !defined(_WIN32)
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channel/Aco_Kestrom.h"
#if defined(KESTROM_OPTIMAL_CHANNEL)
#include "channel/Aco_KestromOptimal.h"
// The channel class of the plug-in under test.
using PluginChannel = Aco_KestromOptimal;
#else
using PluginChannel = Aco_Kestrom;
#endif
#include "allocation/OutputTexts.h"
#include "platform/PlatformTestSupport.h"
#include "portable/ScratchDirectory.h"
#include "portable/TestText.h"
#include "scene/HostScene.h"

// An entry point of the plug-in, loaded once and never unloaded, as a host keeps its plug-ins.
template <class Function>
Function* entryPoint(const char* name) {
#if defined(_WIN32)
    static const HMODULE library = [] {
        const HMODULE loaded = LoadLibraryA(KESTROM_PLUGIN_PATH);
        platformHookThreadStarts(loaded);
        return loaded;
    }();
    return library != nullptr
               ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name)))
               : nullptr;
#else
    static void* const library = dlopen(KESTROM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr ? reinterpret_cast<Function*>(dlsym(library, name)) : nullptr;
#endif
}
inline Vro_Channel* newChannel() {
    return entryPoint<Vro_Channel*()>("InitDLL")();
}

inline const std::string kShutdownText = kestrom_links::shutdownText("");

// The plug-in's descriptor (one for all calls: its name, its GUID bytes, the rest zero but the
// kind 7) and a fresh channel of it with the 18 links a host wires by name, type and direction.
inline void expectChannelType(const char* name, const unsigned char (&guid)[16]) {
    ChannelType* type = entryPoint<ChannelType*()>("GetType")();
    ASSERT_EQ(type, entryPoint<ChannelType*()>("GetType")());
    EXPECT_STREQ(type->name, name);
    const auto* bytes = reinterpret_cast<const unsigned char*>(type);
    for (int i = static_cast<int>(std::strlen(name)); i < 132; ++i)
        EXPECT_EQ(bytes[i], i >= 80 && i < 112 ? guid[i % 16] : i == 120 ? 7 : 0) << i;

    Vro_Channel *first = newChannel(), *second = newChannel();
    ASSERT_NE(first, second);
    EXPECT_STREQ(first->GetChannelName(), name);
    ASSERT_EQ(first->GetChildCount(), 18);
    const GUID value = VroGuids::Value, vector = VroGuids::ValueVector, text = VroGuids::Text;
    const struct {
        const char* name;
        GUID type;
        int direction;
    } expected[18] = {
        {"Number of Thrusters", value, 1},
        {"ThrusterArrayRowIndex", value, 0},
        {"ForceColumn in ThrusterArray", value, 2},
        {"AngleColumn in ThrusterArray (RAD)", value, 2},
        {"RelPositionColumn in ThrusterArray", vector, 1},
        {"TypeColumn in ThrusterArray", value, 1},
        {"IsActiveColumn in ThrusterArray", value, 1},
        {"MaxForceColumn in ThrusterArray", value, 1},
        {"ReversePenaltyColumn in ThrusterArray", value, 1},
        {"StartAngleColumn in ThrusterArray (RAD)", value, 1},
        {"MaxRotationColumn in ThrusterArray (RAD)", value, 1},
        {"Thrust Needed (Fwd, Swd, Rot)", vector, 1},
        {"Thrust Generated (Fwd, Swd, Rot)", vector, 0},
        {"Energy Generated", value, 0},
        {"Action in Extrema", value, 1},
        {"Number of active thrusters in previous calculation", value, 0},
        {"Error Message", text, 0},
        {"Error?", value, 0},
    };
    for (int i = 0; i < 18; ++i) {
        const ChildCreation* record = first->GetChildCreation(i);
        ASSERT_NE(record, nullptr);
        EXPECT_STREQ(record->linkName, expected[i].name);
        EXPECT_TRUE(record->channelType.typeGuid == expected[i].type) << i;
        EXPECT_EQ(record->linkDirection, expected[i].direction) << i;
        EXPECT_EQ(record->slotIndex, i);
    }
    delete first;  // never computed: returns at once
    delete second;
}

// A log file's text with every time stamp "yy/mm/dd hh:mm:ss > " replaced by '|'.
inline std::string logWithoutStamps(const std::filesystem::path& name) {
    std::string log = readFile(name);
    const std::string shape = "00/00/00 00:00:00 > ";
    for (std::size_t at = 0; at + shape.size() <= log.size(); ++at) {
        bool stamp = true;
        for (std::size_t k = 0; stamp && k < shape.size(); ++k)
            stamp = shape[k] == '0' ? log[at + k] >= '0' && log[at + k] <= '9'
                                    : log[at + k] == shape[k];
        if (stamp)
            log.replace(at, shape.size(), "|");
    }
    return log;
}

using namespace kestrom_links;

// One table row by its columns; x is the sideways arm, z the forward arm.
struct Row {
    float force = 0, angle = 0, x = 0, y = 0, z = 0, type = 0, active = 1, maxForce = 1000,
          penalty = 1, start = 0, maxRotation = 3.2f;
};

// Three free azimuths, their arms summing to zero, far enough apart that a moderate demand is
// met without saturation; count 2 keeps the pair abreast aft, more add default rows.
inline std::vector<Row> azimuths(std::size_t count = 3) {
    std::vector<Row> rows(3);
    rows[0].x = -2, rows[0].z = -10;
    rows[1].x = 2, rows[1].z = -10;
    rows[2].z = 20;
    rows.resize(count);
    return rows;
}

// The host scene with every link connected, its children under the names the tests use.
struct Scene {
    explicit Scene(const std::vector<Row>& rows) : host(static_cast<int>(rows.size())) {
        action.SetValue(4.0f);
        demand.SetVector({100.0f, 30.0f, 200.0f});  // a demand three azimuths meet
        setRows(rows);
        replaceChannel();
    }
    ~Scene() { delete channel; }

    // Writes rows into the first rows of the table; "Number of Thrusters" says how many.
    void setRows(const std::vector<Row>& rows) {
        count.SetValue(static_cast<float>(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            host.setRow(static_cast<int>(i), {r.force, r.angle, r.x, r.y, r.z, r.type, r.active,
                                              r.maxForce, r.penalty, r.start, r.maxRotation});
        }
    }
    // Destroys the channel (which waits for its worker) and wires a new one.
    void replaceChannel() {
        delete channel;
        channel = newChannel();
        kestrom = static_cast<PluginChannel*>(channel);
        host.connectAll(*channel);
    }

    bool busy() const { return kestrom->threadBusy.load(std::memory_order_acquire); }
    void setDemand(float fwd, float swd, float rot) { host.setDemand(fwd, swd, rot); }
    std::string text() { return message.GetText() ? message.GetText() : "<none>"; }
    template <class Done>
    static void waitFor(Done done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    // Calls the channel until it is Idle again; the number of calls.
    int cycle() {
        int calls = 0;
        waitFor([&] { return channel->CallChannel(), ++calls, !busy(); });
        EXPECT_FALSE(busy()) << "no result within the time limit";
        return calls;
    }

    kestrom_scene::HostScene host;
    Vro_ArrayTable& table = host.table();
    Vro_Channel &rowIndex = host.child(kRowIndex), &force = host.child(kForceColumn),
                &angle = host.child(kAngleColumn);
    Vro_ValueChannel &count = host.value(kNumberOfThrusters),
                     &energy = host.value(kEnergyGenerated), &action = host.value(kActionInExtrema),
                     &previous = host.value(kPreviousActive), &errorFlag = host.value(kErrorFlag);
    Vro_VectorChannel &demand = host.vector(kThrustNeeded), &thrust = host.vector(kThrustGenerated);
    Vro_TextChannel& message = host.text(kErrorMessage);
    Vro_Channel* channel = nullptr;
    PluginChannel* kestrom = nullptr;
};

// Each test runs in a fresh directory of its own, where the channels write their logs.
class PluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(entryPoint<Vro_Channel*()>("InitDLL"), nullptr) << KESTROM_PLUGIN_PATH;
        std::filesystem::current_path(directory);
    }
    void TearDown() override { std::filesystem::current_path(home); }
    std::filesystem::path home = std::filesystem::current_path();
    ScratchDirectory scratch{"kestrom-channel-"};
    const std::filesystem::path directory = scratch.path();
};
