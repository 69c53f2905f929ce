// Drives the plug-in as a host does: load it, create a channel, wire its 18 links to host
// channels, call it step by step, and check what it writes back.
#include <cmath>
#include <cstring>
#include <memory>

#include "PluginScene.h"
#include "allocation/AllocationTestSupport.h"
#include "allocation/forceMom.h"

namespace {

struct ChannelTest : PluginTest {};

// The system's text for an error code, as the system gives it: on Windows from its message
// table (ending in CR LF), elsewhere the C library's text with a line break.
std::string systemText(DWORD error) {
#if defined(_WIN32)
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const std::string copy = text != nullptr ? text : "";
    LocalFree(text);
    EXPECT_EQ(copy.substr(copy.size() < 2 ? 0 : copy.size() - 2), "\r\n") << copy;
    return copy;
#else
    return std::string(std::strerror(static_cast<int>(error))) + "\n";
#endif
}

// Text as a log file holds it: opened in text mode, so each line break is CR LF on Windows.
std::string onDisk(const std::string& text) {
#if defined(_WIN32)
    std::string disk;
    for (const char c : text)
        disk += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return disk;
#else
    return text;
#endif
}

}  // namespace

// The descriptor and fresh channels with the host's 18 links. (The virtual slots the host calls
// are checked in the host's own ABI by the Microsoft layout stage.)
TEST_F(ChannelTest, EntryPointsDescribeAndCreateChannels) {
    const unsigned char guid[16] = {0x92, 0xD0, 0xCE, 0x9E, 0x06, 0x95, 0x9F, 0x46,
                                    0x9B, 0x63, 0x0C, 0x31, 0xF0, 0x24, 0x1A, 0x8E};
    expectChannelType("Kestrom", guid);
}

// Three free azimuths get the least-norm split u = A'(AA')^-1 d of the demand, with unknowns
// (fx, fy) per thruster, fwd = sum fx, swd = -sum fy, rot = sum(-fy z - fx x): the arms sum to
// zero, so AA' = diag(3, 3, sum(x² + z²)). The outputs report it; the first call only starts.
TEST_F(ChannelTest, FreeAzimuthsGetTheLeastNormAllocation) {
    const std::vector<Row> rows = azimuths();
    Scene scene(rows);
    const double d[3] = {100.0, 30.0, 200.0};
    scene.channel->CallChannel();
    EXPECT_TRUE(scene.busy());
    EXPECT_EQ(scene.text(), "<none>");
    scene.cycle();

    double arms = 0, energy = 0;
    for (const Row& r : rows)
        arms += r.x * r.x + r.z * r.z;
    for (int i = 0; i < 3; ++i) {
        const double fx = d[0] / 3 - rows[i].x * d[2] / arms;
        const double fy = -d[1] / 3 - rows[i].z * d[2] / arms;
        const double f = scene.table.Cell(i, kForceCell), a = scene.table.Cell(i, kAngleCell);
        EXPECT_NEAR(f * std::cos(a), fx, 0.05) << i;
        EXPECT_NEAR(f * std::sin(a), fy, 0.05) << i;
        energy += std::hypot(fx, fy);
    }
    const D3DXVECTOR3 published = scene.thrust.GetVector();
    const double got[3] = {published.x, published.y, published.z};
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], d[k], 0.001 * d[k]) << k;
    EXPECT_NEAR(scene.energy.GetValue(), energy, 0.05);
}

// A call during a computation reads and writes nothing; the call that collects publishes and
// starts nothing; the call after it reads the inputs again.
TEST_F(ChannelTest, FlagsHandOverTheRequest) {
    Scene scene(azimuths());
    scene.cycle();

    scene.kestrom->threadBusy = true;  // Computing, as the host's thread sees it
    scene.table.SelectRow(-1);
    scene.setDemand(1.0f, 2.0f, 3.0f);
    scene.message.SetText("untouched");
    scene.channel->CallChannel();
    EXPECT_EQ(scene.table.SelectedRow(), -1);
    EXPECT_EQ(scene.text(), "untouched");
    scene.kestrom->threadBusy = false;

    scene.channel->CallChannel();
    ASSERT_TRUE(scene.busy());
    Scene::waitFor([&] { return scene.kestrom->threadFinished.load(); });
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

// Present settings that already meet the demand (by the present-settings rule) start nothing while
// the active count is the published one, and start a computation when it is not.
TEST_F(ChannelTest, ComputesOnlyWhenSettingsMissTheDemand) {
    std::vector<Row> rows = azimuths();
    rows[0].force = 50, rows[0].angle = 0.3f;
    rows[1].force = 40, rows[1].angle = 5.9f;
    Scene scene(rows);
    forceMom sum;
    for (const Row& r : rows) {
        const double f = r.force, a = r.angle;
        // The present settings count sway as +forceY, forward arm z, sideways arm x.
        const double fx = f * std::cos(a), fy = f * std::sin(a);
        sum.fwd += fx, sum.swd += fy, sum.rot += fy * r.z - fx * r.x;
    }
    scene.setDemand(sum.fwd, sum.swd, sum.rot);
    scene.previous.SetValue(3.0f);
    EXPECT_EQ(scene.cycle(), 1);
    EXPECT_EQ(scene.table.Cell(0, kForceCell), 50.0f);

    scene.previous.SetValue(2.0f);
    EXPECT_GT(scene.cycle(), 1);
    EXPECT_EQ(scene.previous.GetValue(), 3.0f);
}

// How rows and the demand are read: small demands raised to +0.01, the active flag truncated,
// type 1 rows fixed at their start angle, a zero reverse penalty (also -0) read as 0.1, the
// position mapped to the arms, and the defaults of unconnected links; missing links are named
// and leave the error flag alone.
TEST_F(ChannelTest, InputRules) {
    std::vector<Row> rows(5);
    rows[0].x = 1, rows[0].y = 2, rows[0].z = 3, rows[0].penalty = 0;
    rows[1].active = 0.99f, rows[1].force = 77;
    rows[2].type = 1, rows[2].start = 1.0f, rows[2].angle = 2.5f, rows[2].penalty = -0.0f;
    rows[2].x = -1;
    rows[3].active = -1, rows[3].force = 77;
    rows[4].active = 2, rows[4].z = -4;
    Scene scene(rows);
    scene.channel->DisconnectChild(kMaxRotationColumn);
    scene.channel->DisconnectChild(kActionInExtrema);
    scene.setDemand(0.0f, 0.0f, -0.005f);
    scene.cycle();

    const Aco_Kestrom& k = *scene.kestrom;
    using Values = std::vector<double>;
    EXPECT_EQ((Values{k.demandedThrust.fwd, k.demandedThrust.swd, k.demandedThrust.rot}),
              (Values{0.01, 0.01, 0.01}));
    EXPECT_EQ(k.actionInExtrema, 4);
    EXPECT_EQ(k.activeThrusters, 3);
    ASSERT_EQ(k.ship.count(), 3u);
    const Thrusterobj &plain = k.ship.thruster(0), &fixed = k.ship.thruster(1);
    EXPECT_EQ((Values{plain.posX(), plain.posY(), plain.reversePenalty(), plain.maxRotation()}),
              (Values{3.0, 1.0, 0.1, 3.14159265358}));
    EXPECT_EQ((Values{double(fixed.number()), fixed.angle(), fixed.maxRotation(),
                      fixed.reversePenalty()}),
              (Values{2.0, 1.0, 0.01, 0.1}));
    EXPECT_EQ((Values{k.barredAngles[0], k.barredAngles[2]}), (Values{-1.0, 6.28318530717 - 1.0}));
    EXPECT_EQ(scene.table.Cell(1, kForceCell), 77.0f);
    EXPECT_EQ(scene.table.Cell(3, kForceCell), 77.0f);

    scene.errorFlag.SetValue(5.0f);
    scene.channel->DisconnectChild(kRowIndex);
    scene.cycle();
    EXPECT_EQ(scene.text(),
              "Please provide a Value Channel at link 2 to allow reading the necessary values "
              "from an array table");
    scene.channel->ConnectChild(kRowIndex, &scene.rowIndex);
    scene.channel->DisconnectChild(kThrustNeeded);
    scene.cycle();
    EXPECT_EQ(scene.text(), "Please provide a Vector with the demanded thrust at link 12");
    EXPECT_EQ(scene.errorFlag.GetValue(), 5.0f);
}

// The error shutdown: every force cell zero and the angles kept, zero outputs, the raised
// flag and text, and the two log entries reading as one line; without the row link no cell
// is touched; an unwritable log changes none of the outputs.
TEST_F(ChannelTest, ShutDownOutputsAndLog) {
    std::vector<Row> rows = azimuths(5);
    rows[3].active = 0, rows[4].active = 0;
    for (int i = 0; i < 5; ++i)
        rows[i].angle = 0.5f * i, rows[i].force = 10;
    Scene scene(rows);
    scene.cycle();

    scene.kestrom->ShutDownDP("boom");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(scene.table.Cell(i, kForceCell), 0.0f) << i;
    EXPECT_EQ(scene.table.Cell(3, kAngleCell), 1.5f);
    const D3DXVECTOR3 zero = scene.thrust.GetVector();
    EXPECT_TRUE(zero.x == 0 && zero.y == 0 && zero.z == 0);
    EXPECT_EQ(scene.energy.GetValue(), 0.0f);
    EXPECT_EQ(scene.previous.GetValue(), 3.0f);
    EXPECT_EQ(scene.text(), kShutdownText + "boom");
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    scene.kestrom->ShutDownDP("");
    EXPECT_EQ(scene.text(), kShutdownText);
    EXPECT_EQ(logWithoutStamps("KestromThreadLog.txt"), "|ShutDown()|boom|ShutDown()|");

    scene.table.SetCell(0, kForceCell, 9.0f);
    scene.thrust.SetVector({1, 1, 1});
    scene.channel->DisconnectChild(kRowIndex);
    std::filesystem::remove("KestromThreadLog.txt");
    std::filesystem::create_directory("KestromThreadLog.txt");
    scene.kestrom->ShutDownDP("unlogged");
    EXPECT_EQ(scene.table.Cell(0, kForceCell), 9.0f);
    EXPECT_EQ(scene.thrust.GetVector().x, 0.0f);
    EXPECT_EQ(scene.text(), kShutdownText + "unlogged");
}

// A row the model rejects shuts the thrusters down while the request is read, and the
// computation of the rows read before still publishes; an exception on the worker ends in
// the shutdown there; a thread that cannot be started is logged with the system's text (when
// it has one); each time the next request recovers.
TEST_F(ChannelTest, FailuresShutDownAndTheNextRequestRecovers) {
    std::vector<Row> rows = azimuths();
    rows[1].maxRotation = 7.0f;
    Scene scene(rows);
    scene.channel->CallChannel();
    EXPECT_EQ(scene.text(), kShutdownText + rejectedRotationText());
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");

    scene.table.SetCell(1, kMaxRotationCell, 3.2f);
    scene.cycle();
    scene.kestrom->barredAngles.clear();  // the solver rejects a list shorter than the ship
    scene.kestrom->StartThread();
    Scene::waitFor([&] { return !scene.busy(); });
    EXPECT_EQ(scene.text().rfind(kShutdownText + "Error in Class:", 0), 0u) << scene.text();
    EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
    EXPECT_EQ(scene.table.Cell(0, kForceCell), 0.0f);
    EXPECT_NE(logWithoutStamps("KestromThreadLog.txt").find("ShutDown()"), std::string::npos);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");
    EXPECT_EQ(scene.errorFlag.GetValue(), 0.0f);

    platformFailNextThreadCreations(1, kPlatformThreadStartError);
    scene.setDemand(-50.0f, 10.0f, 0.0f);
    EXPECT_EQ(scene.cycle(), 1);
    const std::string entry =
        onDisk("|\nSystem error message : |" + systemText(kPlatformThreadStartError));
    EXPECT_EQ(logWithoutStamps("KestromLog.txt"), entry);
    platformFailNextThreadCreations(1, 999999);  // a code the system has no text for
    scene.cycle();
    EXPECT_EQ(logWithoutStamps("KestromLog.txt"), entry + onDisk("|\nSystem error message : "));
    scene.cycle();
    EXPECT_NEAR(scene.thrust.GetVector().x, -50.0f, 0.05f);
}

// A table beyond the 128 addressable rows is refused without computing: rows 0 to 127 are
// shut down, the rest untouched.
TEST_F(ChannelTest, RefusesTablesBeyondTheAddressableRows) {
    Scene scene(std::vector<Row>(130, Row{5}));
    EXPECT_EQ(scene.cycle(), 1);
    EXPECT_EQ(scene.text(), kShutdownText +
                                "The thruster table has more than 128 rows; rows from 128 on "
                                "cannot be addressed.");
    EXPECT_EQ(scene.table.Cell(127, kForceCell), 0.0f);
    EXPECT_EQ(scene.table.Cell(128, kForceCell), 5.0f);
}

// Deleting a channel while its worker runs a long barring search returns only after the
// worker has ended (the sanitizer builds catch any later access).
TEST_F(ChannelTest, DestructionWaitsForARunningWorker) {
    std::vector<Row> rows(5);
    const float starts[4] = {0.785398f, 5.497787f, 2.356194f, 3.926991f};
    for (int i = 0; i < 4; ++i) {  // four corners, each turning a quarter of a half turn
        Row& r = rows[i];
        r.x = i % 2 == 0 ? 0.8f : -0.8f, r.z = i < 2 ? 1.8f : -1.8f, r.type = 2, r.maxForce = 400;
        r.start = r.angle = starts[i], r.maxRotation = 0.785398f;
    }
    rows[4].z = 5;
    auto scene = std::make_unique<Scene>(rows);
    scene->setDemand(900.0f, 0.0f, 50.0f);
    scene->channel->CallChannel();
    EXPECT_TRUE(scene->busy());
    scene.reset();
    EXPECT_EQ(platformRunningThreadCount(), 0);
}
