// A host scene for the reliability tests: the plug-in loaded with dlopen as a host loads it,
// one channel with its 18 links wired to a thruster table and to plain host channels, and
// the host's side of a request (call once per step until no computation runs).
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channel/Aco_Kestrom.h"
#include "host/ArrayTable.h"
#include "host/ChildChannels.h"

namespace reliability {

// A new channel of the plug-in; aborts with the loader's message when it cannot be loaded.
inline Vro_Channel* newChannel() {
    // Loaded once and never unloaded, as a host keeps its plug-ins.
    static const auto initDLL = [] {
        void* library = dlopen(KESTROM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        auto* entry = library != nullptr
                          ? reinterpret_cast<Vro_Channel* (*)()>(dlsym(library, "InitDLL"))
                          : nullptr;
        if (entry == nullptr) {
            std::fprintf(stderr, "cannot load %s: %s\n", KESTROM_PLUGIN_PATH, dlerror());
            std::abort();
        }
        return entry;
    }();
    return initDLL();
}

enum Column { kForce, kAngle, kPosX, kPosY, kPosZ, kType, kActive, kMax, kPenalty, kStart, kRot };
constexpr int kColumns = 11;

struct Row {
    float force = 0, angle = 0;
    float x = 0, z = 0;  // sideways and forward arm
    float type = 0, active = 1, maxForce = 1000, penalty = 1, start = 0, maxRotation = 3.2f;
};

struct Scene {
    explicit Scene(const std::vector<Row>& rows)
        : table(static_cast<int>(rows.size()), kColumns),
          rowIndex(table),
          force(table, kForce),
          angle(table, kAngle),
          position(table, kPosX),
          type(table, kType),
          active(table, kActive),
          maxForce(table, kMax),
          penalty(table, kPenalty),
          start(table, kStart),
          maxRotation(table, kRot) {
        action.SetValue(4.0f);
        setRows(rows);
        replaceChannel();
    }
    ~Scene() { delete channel; }

    // Writes rows into the first rows of the table and makes "Number of Thrusters" say how
    // many there are (at most the table's size).
    void setRows(const std::vector<Row>& rows) {
        count.SetValue(static_cast<float>(rows.size()));
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const Row& r = rows[static_cast<std::size_t>(i)];
            const float cells[kColumns] = {r.force,   r.angle, r.x,          0.0f,
                                           r.z,       r.type,  r.active,     r.maxForce,
                                           r.penalty, r.start, r.maxRotation};
            for (int c = 0; c < kColumns; ++c) {
                table.SetCell(i, c, cells[c]);
            }
        }
    }

    // Destroys the channel (which waits for its worker) and wires a new one.
    void replaceChannel() {
        delete channel;
        channel = newChannel();
        const std::array<Vro_Channel*, 18> children = {
            &count,  &rowIndex, &force,   &angle,    &position,    &type,
            &active, &maxForce, &penalty, &start,    &maxRotation, &demand,
            &thrust, &energy,   &action,  &previous, &message,     &errorFlag};
        for (int i = 0; i < 18; ++i) {
            channel->ConnectChild(i, children[static_cast<std::size_t>(i)]);
        }
    }

    bool busy() const {
        return static_cast<Aco_Kestrom*>(channel)->threadBusy.load(std::memory_order_acquire);
    }

    // Calls the channel until no computation runs; false when that takes longer than limit.
    bool request(std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        channel->CallChannel();
        while (busy()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            channel->CallChannel();
        }
        return true;
    }

    std::string text() { return message.GetText() != nullptr ? message.GetText() : ""; }

    Vro_ArrayTable table;
    Vro_ArrayRowIndex rowIndex;
    Vro_ArrayColumnValue force, angle;
    Vro_ArrayColumnVector position;
    Vro_ArrayColumnValue type, active, maxForce, penalty, start, maxRotation;
    Vro_ValueChannel count, energy, action, previous, errorFlag;
    Vro_VectorChannel demand, thrust;
    Vro_TextChannel message;
    Vro_Channel* channel = nullptr;
};

// Runs a test in a fresh directory of its own, where the channels write their log files.
class InScratchDirectory {
  public:
    InScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestrom-reliability-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        std::filesystem::current_path(dir_);
    }
    ~InScratchDirectory() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::filesystem::path& path() const { return dir_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The entries of a log: the texts between the time stamps "yy/mm/dd hh:mm:ss > ".
inline std::vector<std::string> logEntries(const std::string& log) {
    const auto stampAt = [&log](std::size_t i) {
        static const std::string shape = "00/00/00 00:00:00 > ";
        if (i + shape.size() > log.size()) {
            return false;
        }
        for (std::size_t k = 0; k < shape.size(); ++k) {
            const char c = log[i + k];
            if (shape[k] == '0' ? (c < '0' || c > '9') : c != shape[k]) {
                return false;
            }
        }
        return true;
    };
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < log.size();) {
        if (stampAt(i)) {
            entries.emplace_back();
            i += 20;
            continue;
        }
        if (entries.empty()) {
            entries.emplace_back();  // text before any stamp: not an entry, caught by callers
        }
        entries.back() += log[i++];
    }
    return entries;
}

}  // namespace reliability
