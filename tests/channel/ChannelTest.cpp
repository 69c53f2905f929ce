// Drives the plug-in as a host does: load it, create a channel, wire its 18 links to host
// channels, call it step by step, and check what it writes back.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channel/Aco_Kestrom.h"
#include "host/ArrayTable.h"
#include "host/ChildChannels.h"
#include "platform/PlatformTestSupport.h"

namespace {

struct Plugin {
    ChannelType* (*getType)() = nullptr;
    Vro_Channel* (*initDLL)() = nullptr;
};

// Loaded once and never unloaded, as a host keeps its plug-ins.
const Plugin& plugin() {
    static const Plugin loaded = [] {
        Plugin p;
        if (void* library = dlopen(KESTROM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
            p.getType = reinterpret_cast<ChannelType* (*)()>(dlsym(library, "GetType"));
            p.initDLL = reinterpret_cast<Vro_Channel* (*)()>(dlsym(library, "InitDLL"));
        }
        return p;
    }();
    return loaded;
}

const std::string kShutdownText =
    "Unfortunately an error occurred. All Thrusters have been shutdown. Please switch to manual "
    "steering.\nThe official error message is:\n";

// The log's text with every time stamp "yy/mm/dd hh:mm:ss > " replaced by '|'.
std::string withoutStamps(const std::string& log) {
    const std::string shape = "00/00/00 00:00:00 > ";
    std::string out;
    for (std::size_t i = 0; i < log.size();) {
        bool stamp = i + shape.size() <= log.size();
        for (std::size_t k = 0; stamp && k < shape.size(); ++k) {
            stamp = shape[k] == '0' ? std::isdigit(static_cast<unsigned char>(log[i + k])) != 0
                                    : log[i + k] == shape[k];
        }
        out += stamp ? '|' : log[i];
        i += stamp ? shape.size() : 1;
    }
    return out;
}

enum Column { kForce, kAngle, kPosX, kPosY, kPosZ, kType, kActive, kMax, kPenalty, kStart, kRot };

struct Row {
    float force = 0, angle = 0;
    float x = 0, y = 0, z = 0;  // x sideways arm, z forward arm
    float type = 0, active = 1, maxForce = 1000, penalty = 1, start = 0, maxRotation = 3.2f;
};

// A host scene around one channel: the thruster table with its row index and columns, the
// demand and the outputs, every link connected.
struct Scene {
    explicit Scene(const std::vector<Row>& rows, int tableRows = 0)
        : table(tableRows > 0 ? tableRows : static_cast<int>(rows.size()), 11),
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
          count(static_cast<float>(table.RowCount())),
          action(4.0f),
          channel(plugin().initDLL()),
          kestrom(static_cast<Aco_Kestrom*>(channel)) {
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            const Row& r = rows[i];
            for (auto [column, value] : {std::pair{kForce, r.force},
                                         {kAngle, r.angle},
                                         {kPosX, r.x},
                                         {kPosY, r.y},
                                         {kPosZ, r.z},
                                         {kType, r.type},
                                         {kActive, r.active},
                                         {kMax, r.maxForce},
                                         {kPenalty, r.penalty},
                                         {kStart, r.start},
                                         {kRot, r.maxRotation}}) {
                table.SetCell(i, column, value);
            }
        }
        const std::array<Vro_Channel*, 18> children = {
            &count,  &rowIndex, &force,   &angle,    &position,    &type,
            &active, &maxForce, &penalty, &start,    &maxRotation, &demand,
            &thrust, &energy,   &action,  &previous, &message,     &errorFlag};
        for (int i = 0; i < 18; ++i) {
            channel->ConnectChild(i, children[i]);
        }
    }
    ~Scene() { delete channel; }

    bool busy() const { return kestrom->threadBusy.load(std::memory_order_acquire); }
    void setDemand(float fwd, float swd, float rot) { demand.SetVector({fwd, swd, rot}); }
    std::string text() { return message.GetText() ? message.GetText() : "<none>"; }

    void waitIdle() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (busy() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Calls the channel until it is Idle again; the number of calls.
    int cycle() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int calls = 1;
        channel->CallChannel();
        while (busy() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            channel->CallChannel();
            ++calls;
        }
        EXPECT_FALSE(busy()) << "no result within the time limit";
        return calls;
    }

    // fwd, swd, rot of the published forces and angles, with the ship's sign rule.
    std::array<double, 3> thrustFromTable() const {
        std::array<double, 3> sum = {0.0, 0.0, 0.0};
        for (int i = 0; i < table.RowCount(); ++i) {
            if (table.Cell(i, kActive) < 1.0f)
                continue;
            const double f = table.Cell(i, kForce), a = table.Cell(i, kAngle);
            const double fx = f * std::cos(a), fy = f * std::sin(a);
            sum[0] += fx;
            sum[1] -= fy;
            sum[2] += -fy * table.Cell(i, kPosZ) - fx * table.Cell(i, kPosX);
        }
        return sum;
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

// Three free azimuths: far enough apart that every demand below is met without saturation.
std::vector<Row> azimuths() {
    std::vector<Row> rows(3);
    rows[0].x = -2, rows[0].z = -10;
    rows[1].x = 2, rows[1].z = -10;
    rows[2].x = 0, rows[2].z = 8;
    return rows;
}

std::string readFile(const char* name) {
    std::ifstream in(name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each test runs in a fresh directory of its own, where the channel writes its logs.
class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(plugin().initDLL, nullptr) << dlerror();
        char pattern[] = "/tmp/kestrom-channel-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        home = std::filesystem::current_path();
        std::filesystem::current_path(directory);
    }
    void TearDown() override {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(directory);
    }
    std::filesystem::path home, directory;
};

}  // namespace

// The descriptor bytes, and fresh channels with their name and 18 declared links.
TEST_F(ChannelTest, EntryPointsDescribeAndCreateChannels) {
    ChannelType* type = plugin().getType();
    ASSERT_EQ(type, plugin().getType());
    const auto* bytes = reinterpret_cast<const unsigned char*>(type);
    const unsigned char guid[16] = {0x92, 0xD0, 0xCE, 0x9E, 0x06, 0x95, 0x9F, 0x46,
                                    0x9B, 0x63, 0x0C, 0x31, 0xF0, 0x24, 0x1A, 0x8E};
    EXPECT_STREQ(type->name, "Kestrom");
    for (int i = 7; i < 80; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(std::memcmp(bytes + 80, guid, 16), 0);
    EXPECT_EQ(std::memcmp(bytes + 96, guid, 16), 0);
    for (int i = 112; i < 132; ++i)
        EXPECT_EQ(bytes[i], i == 120 ? 7 : 0) << i;

    struct Expected {
        const char* name;
        const GUID* type;
        int direction;
    };
    const GUID* V = &VroGuids::Value;
    const Expected links[18] = {{"Number of Thrusters", V, 1},
                                {"ThrusterArrayRowIndex", V, 0},
                                {"ForceColumn in ThrusterArray", V, 2},
                                {"AngleColumn in ThrusterArray (RAD)", V, 2},
                                {"RelPositionColumn in ThrusterArray", &VroGuids::ValueVector, 1},
                                {"TypeColumn in ThrusterArray", V, 1},
                                {"IsActiveColumn in ThrusterArray", V, 1},
                                {"MaxForceColumn in ThrusterArray", V, 1},
                                {"ReversePenaltyColumn in ThrusterArray", V, 1},
                                {"StartAngleColumn in ThrusterArray (RAD)", V, 1},
                                {"MaxRotationColumn in ThrusterArray (RAD)", V, 1},
                                {"Thrust Needed (Fwd, Swd, Rot)", &VroGuids::ValueVector, 1},
                                {"Thrust Generated (Fwd, Swd, Rot)", &VroGuids::ValueVector, 0},
                                {"Energy Generated", V, 0},
                                {"Action in Extrema", V, 1},
                                {"Number of active thrusters in previous calculation", V, 0},
                                {"Error Message", &VroGuids::Text, 0},
                                {"Error?", V, 0}};
    Vro_Channel* first = plugin().initDLL();
    Vro_Channel* second = plugin().initDLL();
    ASSERT_NE(first, second);
    EXPECT_STREQ(first->GetChannelName(), "Kestrom");
    ASSERT_EQ(first->GetChildCount(), 18);
    for (int i = 0; i < 18; ++i) {
        const ChildCreation* record = first->GetChildCreation(i);
        ASSERT_NE(record, nullptr);
        EXPECT_STREQ(record->linkName, links[i].name);
        EXPECT_TRUE(record->channelType.typeGuid == *links[i].type) << i;
        EXPECT_EQ(record->linkDirection, links[i].direction) << i;
        EXPECT_EQ(record->slotIndex, i);
    }
    delete first;  // never computed: returns at once
    delete second;

#if defined(__GNUC__) && !defined(_WIN32)
    // The channel's own virtual operations follow the 20 of the host's base in their fixed
    // order (in this ABI a virtual destructor takes two entries, so slot s is entry s + 1).
    const auto entry = [](auto member) {
        std::uintptr_t words[2];
        std::memcpy(words, &member, sizeof words);
        return static_cast<int>((words[0] - 1) / sizeof(void*));
    };
    using K = Aco_Kestrom;
    EXPECT_EQ(entry(&K::CallChannel), 2);
    EXPECT_EQ(entry(&K::cleardata), 21);
    EXPECT_EQ(entry(&K::ShutDownDP), 22);
    EXPECT_EQ(entry(&K::StartThread), 23);
    EXPECT_EQ(entry(&K::ThreadFunction), 24);
    EXPECT_EQ(
        entry(static_cast<bool (K::*)(forceMom&, forceMom&, double, double)>(&K::checkresult)), 25);
    EXPECT_EQ(entry(static_cast<bool (K::*)(double, double, double, double)>(&K::checkresult)), 26);
    EXPECT_EQ(entry(&K::getDiff), 27);
    EXPECT_EQ(entry(&K::rescale), 28);
    EXPECT_EQ(entry(&K::processBarred), 29);
    EXPECT_EQ(entry(&K::UpdateQuest), 30);
#endif
}

// Three free azimuths get the least-norm split of the demand (computed here by hand from the
// geometry), and the outputs report it; the first call only starts the computation.
TEST_F(ChannelTest, FreeAzimuthsGetTheLeastNormAllocation) {
    Scene scene(azimuths());
    const double d[3] = {100.0, 30.0, 200.0};
    scene.setDemand(100.0f, 30.0f, 200.0f);
    scene.channel->CallChannel();
    EXPECT_TRUE(scene.busy());
    EXPECT_EQ(scene.text(), "<none>");
    while (scene.busy())
        scene.cycle();

    // Unknowns (fx, fy) per thruster; fwd = sum fx, swd = -sum fy,
    // rot = sum(-fy * forward arm - fx * sideways arm). u = A' (A A')^-1 d.
    double A[3][6] = {};
    for (int i = 0; i < 3; ++i) {
        const double x = scene.table.Cell(i, kPosX), z = scene.table.Cell(i, kPosZ);
        A[0][2 * i] = 1, A[1][2 * i + 1] = -1, A[2][2 * i] = -x, A[2][2 * i + 1] = -z;
    }
    double M[3][4];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            M[r][c] = 0;
            for (int k = 0; k < 6; ++k)
                M[r][c] += A[r][k] * A[c][k];
        }
        M[r][3] = d[r];
    }
    for (int p = 0; p < 3; ++p) {  // Gauss-Jordan; A A' is positive definite
        for (int r = 0; r < 3; ++r) {
            if (r == p)
                continue;
            const double f = M[r][p] / M[p][p];
            for (int c = p; c < 4; ++c)
                M[r][c] -= f * M[p][c];
        }
    }
    double energy = 0;
    for (int i = 0; i < 3; ++i) {
        double u[2] = {0, 0};
        for (int j = 0; j < 2; ++j)
            for (int r = 0; r < 3; ++r)
                u[j] += A[r][2 * i + j] * M[r][3] / M[r][r];
        const double f = scene.table.Cell(i, kForce), a = scene.table.Cell(i, kAngle);
        EXPECT_NEAR(f * std::cos(a), u[0], 0.05) << i;
        EXPECT_NEAR(f * std::sin(a), u[1], 0.05) << i;
        energy += std::hypot(u[0], u[1]);
    }
    const D3DXVECTOR3 published = scene.thrust.GetVector();
    const std::array<double, 3> fromTable = scene.thrustFromTable();
    const double got[3] = {published.x, published.y, published.z};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(got[k], d[k], 0.001 * std::fabs(d[k])) << k;
        EXPECT_NEAR(fromTable[k], d[k], 0.01 * std::fabs(d[k])) << k;
    }
    EXPECT_NEAR(scene.energy.GetValue(), energy, 0.05);
    EXPECT_EQ(scene.text(), "No errors");
    EXPECT_EQ(scene.errorFlag.GetValue(), 0.0f);
    EXPECT_EQ(scene.previous.GetValue(), 3.0f);
}

// A call during a computation reads and writes nothing; the call that collects publishes and
// starts nothing; the call after it reads the inputs again.
TEST_F(ChannelTest, FlagsHandOverTheRequest) {
    Scene scene(azimuths());
    scene.setDemand(100.0f, 30.0f, 200.0f);
    scene.cycle();

    scene.kestrom->threadBusy = true;  // Computing, as the host's thread sees it
    scene.table.SelectRow(-1);
    scene.setDemand(1.0f, 2.0f, 3.0f);
    scene.message.SetText("untouched");
    scene.channel->CallChannel();
    EXPECT_EQ(scene.table.SelectedRow(), -1);
    EXPECT_EQ(scene.kestrom->numberOfThrusters, 3);
    EXPECT_EQ(scene.text(), "untouched");
    scene.kestrom->threadBusy = false;

    scene.channel->CallChannel();
    ASSERT_TRUE(scene.busy());
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!scene.kestrom->threadFinished.load() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    scene.setDemand(-50.0f, 10.0f, 0.0f);
    scene.channel->CallChannel();
    EXPECT_FALSE(scene.busy());
    EXPECT_NEAR(scene.thrust.GetVector().x, 1.0f, 0.001f);
    EXPECT_EQ(scene.text(), "No errors");
    scene.channel->CallChannel();
    EXPECT_TRUE(scene.busy());
    scene.cycle();
    EXPECT_NEAR(scene.thrust.GetVector().x, -50.0f, 0.05f);
}

// Present settings that already meet the demand (summed here with forceY as sideways force)
// start nothing while the active count is the published one, and start a computation when it
// is not.
TEST_F(ChannelTest, ComputesOnlyWhenSettingsMissTheDemand) {
    std::vector<Row> rows = azimuths();
    rows[0].force = 50, rows[0].angle = 0.3f;
    rows[1].force = 40, rows[1].angle = 5.9f;
    rows[2].force = 0;
    Scene scene(rows);
    double sum[3] = {0, 0, 0};
    for (const Row& r : rows) {
        const double fx = r.force * std::cos(double(r.angle)),
                     fy = r.force * std::sin(double(r.angle));
        sum[0] += fx, sum[1] += fy, sum[2] += fy * r.z - fx * r.x;
    }
    scene.setDemand(float(sum[0]), float(sum[1]), float(sum[2]));
    scene.previous.SetValue(3.0f);
    EXPECT_EQ(scene.cycle(), 1);
    EXPECT_EQ(scene.table.Cell(0, kForce), 50.0f);

    scene.previous.SetValue(2.0f);
    scene.channel->CallChannel();
    EXPECT_TRUE(scene.busy());
    scene.cycle();
    EXPECT_EQ(scene.previous.GetValue(), 3.0f);
}

// How rows and the demand are read: small demands raised to +0.01, the active flag truncated,
// type 1 rows fixed at their start angle, a zero reverse penalty (also -0) read as 0.1, the
// position mapped to the arms, and the defaults of unconnected links.
TEST_F(ChannelTest, InputRules) {
    std::vector<Row> rows(5);
    rows[0].x = 1, rows[0].y = 2, rows[0].z = 3, rows[0].penalty = 0;
    rows[1].active = 0.99f, rows[1].force = 77;
    rows[2].type = 1, rows[2].start = 1.0f, rows[2].angle = 2.5f, rows[2].penalty = -0.0f;
    rows[2].x = -1;
    rows[3].active = -1, rows[3].force = 77;
    rows[4].active = 2, rows[4].z = -4;
    Scene scene(rows);
    scene.channel->DisconnectChild(Aco_Kestrom::kMaxRotationColumn);
    scene.channel->DisconnectChild(Aco_Kestrom::kActionInExtrema);
    scene.setDemand(0.0f, 0.0f, -0.005f);
    scene.cycle();

    const Aco_Kestrom& k = *scene.kestrom;
    EXPECT_EQ(k.demandedThrust.fwd, 0.01);
    EXPECT_EQ(k.demandedThrust.swd, 0.01);
    EXPECT_EQ(k.demandedThrust.rot, 0.01);
    EXPECT_EQ(k.actionInExtrema, 4);
    EXPECT_EQ(k.activeThrusters, 3);
    ASSERT_EQ(k.ship.count(), 3u);
    const Thrusterobj& plain = k.ship.thruster(0);
    EXPECT_EQ(plain.posX(), 3.0);
    EXPECT_EQ(plain.posY(), 1.0);
    EXPECT_EQ(plain.reversePenalty(), 0.1);
    EXPECT_EQ(plain.maxRotation(), 3.14159265358);
    const Thrusterobj& fixed = k.ship.thruster(1);
    EXPECT_EQ(fixed.number(), 2);
    EXPECT_EQ(fixed.angle(), 1.0);
    EXPECT_EQ(fixed.maxRotation(), 0.01);
    EXPECT_EQ(fixed.reversePenalty(), 0.1);
    EXPECT_EQ(k.barredAngles[2], 6.28318530717 - 1.0);
    EXPECT_EQ(k.barredAngles[0], -1.0);
    EXPECT_EQ(scene.table.Cell(1, kForce), 77.0f);
    EXPECT_EQ(scene.table.Cell(3, kForce), 77.0f);

    scene.errorFlag.SetValue(5.0f);
    scene.channel->DisconnectChild(Aco_Kestrom::kRowIndex);
    scene.cycle();
    EXPECT_EQ(scene.text(),
              "Please provide a Value Channel at link 2 to allow reading the necessary values "
              "from an array table");
    scene.channel->ConnectChild(Aco_Kestrom::kRowIndex, &scene.rowIndex);
    scene.channel->DisconnectChild(Aco_Kestrom::kThrustNeeded);
    scene.cycle();
    EXPECT_EQ(scene.text(), "Please provide a Vector with the demanded thrust at link 12");
    EXPECT_EQ(scene.errorFlag.GetValue(), 5.0f);
}

// The error shutdown: every force cell zero and the angles kept, zero outputs, the raised
// flag and text, and the two log entries reading as one line; without the row link no cell
// is touched; an unwritable log changes none of the outputs.
TEST_F(ChannelTest, ShutDownOutputsAndLog) {
    std::vector<Row> rows = azimuths();
    rows.resize(5);
    rows[3].active = 0, rows[4].active = 0;
    for (int i = 0; i < 5; ++i)
        rows[i].angle = 0.5f * i, rows[i].force = 10;
    Scene scene(rows);
    scene.setDemand(100.0f, 30.0f, 200.0f);
    scene.cycle();
    const float angle3 = scene.table.Cell(3, kAngle);

    scene.kestrom->ShutDownDP("boom");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(scene.table.Cell(i, kForce), 0.0f) << i;
    EXPECT_EQ(scene.table.Cell(3, kAngle), angle3);
    const D3DXVECTOR3 zero = scene.thrust.GetVector();
    EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0);
    EXPECT_EQ(scene.energy.GetValue(), 0.0f);
    EXPECT_EQ(scene.previous.GetValue(), 3.0f);
    EXPECT_EQ(scene.text(), kShutdownText + "boom");
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    scene.kestrom->ShutDownDP("");
    EXPECT_EQ(scene.text(), kShutdownText);
    EXPECT_EQ(withoutStamps(readFile("KestromThreadLog.txt")), "|ShutDown()|boom|ShutDown()|");

    scene.table.SetCell(0, kForce, 9.0f);
    scene.thrust.SetVector({1, 1, 1});
    scene.channel->DisconnectChild(Aco_Kestrom::kRowIndex);
    std::filesystem::remove("KestromThreadLog.txt");
    std::filesystem::create_directory("KestromThreadLog.txt");
    scene.kestrom->ShutDownDP("unlogged");
    EXPECT_EQ(scene.table.Cell(0, kForce), 9.0f);
    EXPECT_EQ(scene.thrust.GetVector().x, 0.0f);
    EXPECT_EQ(scene.text(), kShutdownText + "unlogged");
}

// A row the model rejects shuts the thrusters down while the request is read, and the
// computation of the rows read before still publishes; an exception on the worker ends in
// the shutdown there, and the next request recovers.
TEST_F(ChannelTest, FailuresShutDownAndTheNextRequestRecovers) {
    std::vector<Row> rows = azimuths();
    rows[1].maxRotation = 7.0f;
    Scene scene(rows);
    scene.setDemand(100.0f, 30.0f, 200.0f);
    scene.channel->CallChannel();
    EXPECT_EQ(scene.text(), kShutdownText +
                                "Error in Class:Thrusterobj Function:MaxRotation. Incorrect input "
                                "value.");
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");

    scene.table.SetCell(1, kRot, 3.2f);
    scene.cycle();
    scene.kestrom->barredAngles.clear();  // the solver rejects a list shorter than the ship
    scene.kestrom->StartThread();
    scene.waitIdle();
    EXPECT_EQ(scene.text().rfind(kShutdownText + "Error in Class:", 0), 0u) << scene.text();
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    EXPECT_EQ(scene.table.Cell(0, kForce), 0.0f);
    EXPECT_NE(readFile("KestromThreadLog.txt").find("ShutDown()"), std::string::npos);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");
    EXPECT_EQ(scene.errorFlag.GetValue(), 0.0f);
}

// A thread that cannot be started is logged with the system's text (when it has one) and
// the next host call tries again.
TEST_F(ChannelTest, FailedThreadStartIsLoggedAndRetried) {
    Scene scene(azimuths());
    scene.setDemand(100.0f, 30.0f, 200.0f);
    platformFailNextThreadCreations(1, EAGAIN);
    EXPECT_EQ(scene.cycle(), 1);
    const std::string entries = "|\nSystem error message : |";
    EXPECT_EQ(withoutStamps(readFile("KestromLog.txt")), entries + std::strerror(EAGAIN) + "\n");
    platformFailNextThreadCreations(1, 999999);  // a code the system has no text for
    scene.cycle();
    EXPECT_EQ(withoutStamps(readFile("KestromLog.txt")),
              entries + std::strerror(EAGAIN) + "\n|\nSystem error message : ");
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");
}

// A table beyond the 128 addressable rows is refused without computing: rows 0 to 127 are
// shut down, the rest untouched.
TEST_F(ChannelTest, RefusesTablesBeyondTheAddressableRows) {
    std::vector<Row> rows(130);
    for (Row& r : rows)
        r.force = 5;
    Scene scene(rows);
    scene.setDemand(100.0f, 30.0f, 200.0f);
    EXPECT_EQ(scene.cycle(), 1);
    EXPECT_EQ(scene.text(), kShutdownText +
                                "The thruster table has more than 128 rows; rows from 128 on "
                                "cannot be addressed.");
    EXPECT_EQ(scene.table.Cell(127, kForce), 0.0f);
    EXPECT_EQ(scene.table.Cell(128, kForce), 5.0f);
}

// Deleting a channel while its worker runs a long barring search returns only after the
// worker has ended (the sanitizer builds catch any later access).
TEST_F(ChannelTest, DestructionWaitsForARunningWorker) {
    std::vector<Row> rows(5);
    const float corners[4][2] = {{0.8f, 1.8f}, {-0.8f, 1.8f}, {0.8f, -1.8f}, {-0.8f, -1.8f}};
    const float starts[4] = {0.785398f, 5.497787f, 2.356194f, 3.926991f};
    for (int i = 0; i < 4; ++i) {
        rows[i].x = corners[i][0], rows[i].z = corners[i][1], rows[i].type = 2;
        rows[i].start = rows[i].angle = starts[i], rows[i].maxRotation = 0.785398f;
        rows[i].maxForce = 400;
    }
    rows[4].z = 5;
    auto scene = std::make_unique<Scene>(rows);
    scene->setDemand(900.0f, 0.0f, 50.0f);
    scene->channel->CallChannel();
    EXPECT_TRUE(scene->busy());
    scene.reset();
    EXPECT_EQ(platformRunningThreadCount(), 0);
}
