// Whole requests of the plug-in's channel through the stand-in host: an arbitrary thruster
// table (0 to 14 rows, now and then more than the 128 the channel addresses; at most two rows
// of the types that barring searches), arbitrary cells
// (non-finite ones included), links connected, left open, given a channel of the wrong type
// or pointed at another column, 1 to 3 demands; the channel is called as a host calls it
// until each request has ended, and now and then destroyed while it computes.
//
// Checked beyond "no crash, no hang, no sanitizer report": every request ends within
// kRequestLimitSeconds; after a publication on a table wired as the host wires it, no force cell
// exceeds its row's maximum (a force that is not finite need not show in "Thrust Generated":
// see docs/channel.md), and a table of moderate finite cells gets finite forces unless a row that
// can end with a fixed direction has a reverse penalty other than 1 (docs/channel.md: its
// efficiency then changes with the thrust and the minimiser may diverge); after a shutdown every
// force cell is 0.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FuzzSupport.h"
#include "allocation/Shipobj.h"
#include "allocation/ThrusterRow.h"
#include "allocation/ThrusterType.h"
#include "channel/Aco_Kestrom.h"
#include "host/EngineInterface.h"
#include "host/ValueAsInt.h"
#include "scene/HostScene.h"

extern "C" Vro_Channel* InitDLL();

namespace {

// Seconds a request may take; KESTROM_FUZZ_REQUEST_LIMIT overrides it.
constexpr double kRequestLimitSeconds = 8.0;
constexpr float kModerate = 1.0e6f;

using namespace kestrom_links;

class Cells {
  public:
    explicit Cells(FuzzedDataProvider& in) : in_(in) {}

    float next() {
        static const float kSpecial[] = {std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         0.0f,
                                         -0.0f,
                                         -1.0f,
                                         1.0f,
                                         2.0f,
                                         3.0f,
                                         7.0f,
                                         std::numeric_limits<float>::max(),
                                         std::numeric_limits<float>::denorm_min(),
                                         3.14159265f,
                                         6.2831855f};
        float v = 0.0f;
        switch (in_.ConsumeIntegralInRange<int>(0, 9)) {
            case 0:
                v = in_.PickValueInArray(kSpecial);
                break;
            case 1:
                v = in_.ConsumeFloatingPoint<float>();
                break;
            default: {
                const float scale = std::ldexp(1.0f, in_.ConsumeIntegralInRange<int>(-4, 16));
                v = in_.ConsumeFloatingPointInRange<float>(-scale, scale);
            }
        }
        if (!(std::isfinite(v) && std::fabs(v) <= kModerate)) {
            moderate_ = false;
        }
        return v;
    }
    bool moderate() const { return moderate_; }

  private:
    FuzzedDataProvider& in_;
    bool moderate_ = true;
};

struct Scene {
    kestrom_scene::HostScene host;
    std::vector<std::unique_ptr<Vro_Channel>> children;  // the channels wired unlike a host
    Vro_ValueChannel* numberOfThrusters = nullptr;
    Vro_VectorChannel* demand = nullptr;
    Vro_VectorChannel* thrust = nullptr;  // "Thrust Generated"
    Vro_ValueChannel* errorFlag = nullptr;
    bool hostWiring = true;  // every link as the host wires it
    int typeCell = -1;       // the cell the type link reads, -1 when it reads none

    Scene(int rows) : host(rows) {}

    template <class C, class... A>
    C* add(A&&... args) {
        children.push_back(std::make_unique<C>(std::forward<A>(args)...));
        return static_cast<C*>(children.back().get());
    }
};

// Connects link `link` as the fuzzer chooses: mostly as a host wires it, sometimes not at
// all, to a channel of another type, or to another column of the table.
void wire(Vro_Channel& channel, Scene& scene, unsigned int link, FuzzedDataProvider& in) {
    const int choice = in.ConsumeIntegralInRange<int>(0, 15);
    const bool verbose = std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr;
    if (verbose && choice <= 1) {
        std::fprintf(stderr, "link %u: %s\n", link, choice == 0 ? "open" : "another type");
    }
    if (choice == 0) {
        scene.hostWiring = false;
        return;
    }
    const LinkKind kind = kLinks[link].kind;
    if (choice == 1) {
        scene.hostWiring = false;
        channel.ConnectChild(link, kind == LinkKind::text
                                       ? static_cast<Vro_Channel*>(scene.add<Vro_ValueChannel>())
                                       : scene.add<Vro_TextChannel>());
        return;
    }
    const int cell = columnCell(link);
    if (cell >= 0 && choice == 2) {
        scene.hostWiring = false;
        const int other = in.ConsumeIntegralInRange<int>(-2, kTableColumns + 1);
        if (verbose) {
            std::fprintf(stderr, "link %u: cell %d\n", link, other);
        }
        if (link == kTypeColumn) {
            scene.typeCell = other;
        }
        Vro_ArrayTable& table = scene.host.table();
        channel.ConnectChild(
            link, kind == LinkKind::vector
                      ? static_cast<Vro_Channel*>(scene.add<Vro_ArrayColumnVector>(table, other))
                      : scene.add<Vro_ArrayColumnValue>(table, other));
        return;
    }
    scene.host.connect(channel, link);
    if (link == kTypeColumn) {
        scene.typeCell = cell;
    } else if (link == kThrustNeeded) {
        scene.demand = &scene.host.vector(link);
    } else if (link == kThrustGenerated) {
        scene.thrust = &scene.host.vector(link);
    } else if (link == kNumberOfThrusters) {
        scene.numberOfThrusters = &scene.host.value(link);
    } else if (link == kErrorFlag) {
        scene.errorFlag = &scene.host.value(link);
    }
}

// The type the channel reads from a type cell: a cell that no int holds reads as the default 1.
int typeAsRead(float cell) {
    return valueAsInt(cell, kFixedDirection);
}

// Whether the design promises finite forces for rows 0 to rows - 1 of a table of moderate
// cells: every active row that can end with a fixed direction has a reverse penalty of 1.
bool finiteForcesPromised(const Scene& scene, int rows) {
    for (int r = 0; r < rows; ++r) {
        const float active = scene.host.table().Cell(r, kActiveCell);
        if (active >= 1.0f &&
            canHaveFixedDirection(typeAsRead(scene.host.table().Cell(r, kTypeCell))) &&
            scene.host.table().Cell(r, kReversePenaltyCell) != 1.0f) {
            return false;
        }
    }
    return true;
}

bool busy(Vro_Channel& channel) {
    return static_cast<Aco_Kestrom&>(channel).threadBusy.load(std::memory_order_acquire);
}

// Calls the channel as the host does, once per step, until no computation runs.
void runRequest(Vro_Channel& channel) {
    static const double limitSeconds = [] {
        const char* text = std::getenv("KESTROM_FUZZ_REQUEST_LIMIT");
        return text != nullptr ? std::atof(text) : kRequestLimitSeconds;
    }();
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(limitSeconds));
    channel.CallChannel();
    while (busy(channel)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kestrom_fuzz::fail("a request did not end within the time limit");
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        channel.CallChannel();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kestrom_fuzz::ScratchFile log(".log");
    FuzzedDataProvider in(data, size);
    Cells cells(in);

    const int rows = in.ConsumeIntegralInRange<int>(0, 15) == 0
                         ? in.ConsumeIntegralInRange<int>(120, 132)
                         : in.ConsumeIntegralInRange<int>(0, 14);
    Scene scene(rows);
    // Cells row by row; the type, active and rotation columns mostly hold meaningful values.
    for (int r = 0; r < rows && in.remaining_bytes() > 0; ++r) {
        for (int c = 0; c < kTableColumns; ++c) {
            float value = 0.0f;
            if (c == kTypeCell && in.ConsumeBool()) {
                value = static_cast<float>(in.ConsumeIntegralInRange<int>(0, 3));
            } else if (c == kActiveCell && in.ConsumeBool()) {
                value = 1.0f;
            } else if (c == kMaxRotationCell && in.ConsumeBool()) {
                value = in.ConsumeFloatingPointInRange<float>(0.0f, 6.3f);
            } else {
                value = cells.next();
            }
            scene.host.table().SetCell(r, c, value);
        }
    }

    // Logs go to a scratch file, emptied per input, instead of the working directory.
    log.write(nullptr, 0);
    Vro_Channel* channel = InitDLL();
    auto& kestrom = static_cast<Aco_Kestrom&>(*channel);
    kestrom.logFileName = log.path().c_str();
    kestrom.threadLogFileName = log.path().c_str();
    for (unsigned int link = 0; link < kLinkCount; ++link) {
        wire(*channel, scene, link, in);
    }
    if (scene.numberOfThrusters != nullptr) {
        scene.numberOfThrusters->SetValue(in.ConsumeBool() ? static_cast<float>(rows)
                                                           : cells.next());
        if (std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr) {
            std::fprintf(stderr, "number of thrusters %.9g\n", scene.numberOfThrusters->GetValue());
        }
    }
    // The barring search tries 12 directions per free barred thruster and level, 12^k solves
    // for k of them, by design (docs/reliability.md): keep at most two rows of the types it
    // bars, so that the time limit finds other causes.
    int barrable = 0;
    for (int r = 0; r < rows && scene.typeCell >= 0; ++r) {
        const int type = typeAsRead(scene.host.table().Cell(r, scene.typeCell));
        if (hasRotationLimit(static_cast<signed char>(type))) {
            if (++barrable > 2) {
                scene.host.table().SetCell(r, scene.typeCell, 0.0f);
            }
        }
    }
    const bool destroyWhileComputing = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    const int requests = in.ConsumeIntegralInRange<int>(1, 3);

    for (int n = 0; n < requests; ++n) {
        if (scene.demand != nullptr) {
            scene.demand->SetVector({cells.next(), cells.next(), cells.next()});
            if (std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr) {
                const D3DXVECTOR3 d = scene.demand->GetVector();
                std::fprintf(stderr, "demand %.17g %.17g %.17g\n", d.x, d.y, d.z);
                for (int r = 0; r < rows; ++r) {
                    std::fprintf(stderr, "row %d:", r);
                    for (int c = 0; c < kTableColumns; ++c) {
                        std::fprintf(stderr, " %.17g", scene.host.table().Cell(r, c));
                    }
                    std::fprintf(stderr, "\n");
                }
            }
        }
        if (scene.errorFlag != nullptr) {
            scene.errorFlag->SetValue(-1.0f);
        }
        if (destroyWhileComputing) {
            channel->CallChannel();
            break;
        }
        const auto started = std::chrono::steady_clock::now();
        runRequest(*channel);
        if (std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr) {
            std::fprintf(
                stderr, "request %d: %.6f s\n", n + 1,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
            for (int r = 0; r < rows; ++r) {
                std::fprintf(stderr, "published row %d: force %.9g angle %.9g\n", r,
                             scene.host.table().Cell(r, 0), scene.host.table().Cell(r, 1));
            }
        }

        const float flag = scene.errorFlag != nullptr ? scene.errorFlag->GetValue() : -1.0f;
        if (!scene.hostWiring || flag == -1.0f) {
            continue;
        }
        // The rows the channel read: as many as "Number of Thrusters" says, at most 128.
        const float claimed = scene.numberOfThrusters->GetValue();
        const int tableRows =
            std::isfinite(claimed) && claimed > 0.0f
                ? std::min({rows, 128, static_cast<int>(std::min(claimed, 1000.0f))})
                : 0;
        const bool finitePromised = cells.moderate() && finiteForcesPromised(scene, tableRows);
        for (int r = 0; r < tableRows; ++r) {
            const float force = scene.host.table().Cell(r, kForceCell);
            if (flag == 1.0f && force != 0.0f) {
                kestrom_fuzz::fail("a force cell is not 0 after the error shutdown");
            }
            // An active cell that no int holds reads as the default 0: inactive.
            const float active = scene.host.table().Cell(r, kActiveCell);
            if (flag == 0.0f && active >= 1.0f && active < 2147483648.0f) {
                const float maximum = std::fabs(scene.host.table().Cell(r, kMaxForceCell));
                if (std::fabs(force) > maximum) {
                    std::fprintf(stderr, "row %d: force %.9g maximum %.9g\n", r, force, maximum);
                    kestrom_fuzz::fail("a published force exceeds its row's maximum");
                }
                if (finitePromised && !std::isfinite(force)) {
                    kestrom_fuzz::fail("a table promised finite forces got one that is not finite");
                }
            }
        }
    }
    // The destructor waits for a computation that is still running.
    delete channel;
    globalEngineTakeDebugMessages();
    return 0;
}
