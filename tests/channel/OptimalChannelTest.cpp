// The KestromOptimal plug-in through the host: its own descriptor with the default type's 18
// links, demands built from a known allocation met with "Thrust Generated" equal to the
// published cells' thrust, a demand beyond capacity published with its shortfall, and bad
// cells shut down as the default type shuts down.
#include <cmath>
#include <cstdio>
#include <limits>

#include "PluginScene.h"

namespace {

struct OptimalChannelTest : PluginTest {};

using Settings = std::vector<std::array<double, 2>>;  // force and angle per row

// The thrust of settings, worked out here: per row fx = f cos a, fy = f sin a at the sideways
// arm x and the forward arm z; fwd = sum fx, swd = -sum fy, rot = sum(-fy z - fx x). Inactive
// rows (active 0) push nothing.
std::array<double, 4> thrustOf(const std::vector<Row>& rows, const Settings& settings) {
    std::array<double, 4> sum{};  // fwd, swd, rot, sum of |f|
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].active < 1)
            continue;
        const auto [f, a] = settings[i];
        const double fx = f * std::cos(a), fy = f * std::sin(a);
        sum[0] += fx;
        sum[1] -= fy;
        sum[2] += -fy * rows[i].z - fx * rows[i].x;
        sum[3] += std::fabs(f);
    }
    return sum;
}

std::array<double, 4> cellsThrust(const Scene& scene, const std::vector<Row>& rows) {
    Settings cells;
    for (std::size_t i = 0; i < rows.size(); ++i)
        cells.push_back(
            {scene.table.Cell(int(i), kForceCell), scene.table.Cell(int(i), kAngleCell)});
    return thrustOf(rows, cells);
}

// Two free azimuths aft, one azimuth of limited rotation (two opposite sectors of +-0.6 rad
// about ahead), a fixed sideways tunnel forward with reverse penalty 0.8, and an inactive row.
std::vector<Row> mixedVessel() {
    std::vector<Row> rows(5);
    rows[0].x = -3, rows[0].z = -20;
    rows[1].x = 3, rows[1].z = -20;
    rows[2].z = -5, rows[2].type = 2, rows[2].maxRotation = 0.6f;
    rows[3].z = 25, rows[3].type = 1, rows[3].start = 1.5707964f, rows[3].penalty = 0.8f,
    rows[3].maxForce = 500;
    rows[4].active = 0, rows[4].force = 77, rows[4].angle = 0.5f;
    return rows;
}

}  // namespace

TEST_F(OptimalChannelTest, OwnDescriptorSameLinks) {
    const unsigned char guid[16] = {0x91, 0x6F, 0x6D, 0x7D, 0x6B, 0xBC, 0x16, 0x40,
                                    0x93, 0x42, 0x3B, 0x41, 0x4B, 0x8B, 0x96, 0xFA};
    expectChannelType("KestromOptimal", guid);
}

// The demand is what a known setting of the rows gives (the tunnel reversed), so it is
// feasible: the published table meets it within 1e-4 of its scale, "Thrust Generated" and
// the energy are the published float cells' thrust and sum of magnitudes, the inactive row
// keeps its cells, and the same demand again gives the same cells.
TEST_F(OptimalChannelTest, MeetsAFeasibleDemandAndPublishesTheCellsThrust) {
    std::vector<Row> rows = mixedVessel();
    Scene scene(rows);
    const std::array<double, 4> d =
        thrustOf(rows, {{600, 0.9}, {700, -2.0}, {-400, 0.3}, {-300, 1.5707964}, {0, 0}});
    scene.setDemand(float(d[0]), float(d[1]), float(d[2]));
    scene.cycle();  // ends with the call that publishes

    EXPECT_EQ(scene.text(), kNoErrorsText);
    EXPECT_EQ(scene.errorFlag.GetValue(), 0.0f);
    EXPECT_EQ(scene.previous.GetValue(), 4.0f);
    const std::array<double, 4> t = cellsThrust(scene, rows);
    const double demanded[3] = {float(d[0]), float(d[1]), float(d[2])};
    const double scale = std::max({std::fabs(demanded[0]), std::fabs(demanded[1]), 1.0});
    const double arm = 25.0;  // the tunnel's, the largest
    EXPECT_NEAR(t[0], demanded[0], 1e-4 * scale);
    EXPECT_NEAR(t[1], demanded[1], 1e-4 * scale);
    EXPECT_NEAR(t[2], demanded[2], 1e-4 * scale * arm);
    const D3DXVECTOR3 generated = scene.thrust.GetVector();
    EXPECT_FLOAT_EQ(generated.x, float(t[0]));
    EXPECT_FLOAT_EQ(generated.y, float(t[1]));
    EXPECT_FLOAT_EQ(generated.z, float(t[2]));
    EXPECT_FLOAT_EQ(scene.energy.GetValue(), float(t[3]));
    for (int i = 0; i < 4; ++i)
        EXPECT_LE(std::fabs(scene.table.Cell(i, kForceCell)), rows[i].maxForce) << i;
    EXPECT_EQ(scene.table.Cell(3, kAngleCell), rows[3].start);
    EXPECT_EQ(scene.table.Cell(4, kForceCell), 77.0f);
    EXPECT_EQ(scene.table.Cell(4, kAngleCell), 0.5f);

    // The present settings' check counts sway with the opposite sign, so a demand with sway
    // is computed again: from the previous request's state, to the same cells within the
    // allocator's tolerance (no sector or direction flips).
    float cells[4][2];
    for (int i = 0; i < 4; ++i)
        cells[i][0] = scene.table.Cell(i, kForceCell),
        cells[i][1] = scene.table.Cell(i, kAngleCell);
    EXPECT_GE(scene.cycle(), 2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(scene.table.Cell(i, kForceCell), cells[i][0], 1e-4 * scale) << i;
        EXPECT_NEAR(scene.table.Cell(i, kAngleCell), cells[i][1], 1e-4) << i;
    }
}

// Two free azimuths of 1000 N abreast aft asked for 100 kN ahead: the closest attainable
// thrust is both full ahead, (2000, 0, 0). It is published with "Error?" 0 and the shortfall,
// demand minus the published thrust, in "Error Message".
TEST_F(OptimalChannelTest, DemandBeyondCapacityPublishesTheClosestThrust) {
    const std::vector<Row> rows = azimuths(2);
    Scene scene(rows);
    scene.setDemand(1e5f, 0.0f, 0.0f);  // the channel raises the zeros to 0.01
    const double raised[3] = {1e5, 0.01, 0.01};
    scene.cycle();

    EXPECT_EQ(scene.errorFlag.GetValue(), 0.0f);
    const std::array<double, 4> t = cellsThrust(scene, rows);
    EXPECT_NEAR(t[0], 2000.0, 2000.0 * 1.5e-3);
    EXPECT_NEAR(t[1], 0.0, 0.02);
    EXPECT_NEAR(t[2], 0.0, 0.02);
    const std::string text = scene.text();
    const std::string lead = beyondCapacityText(0, 0, 0);
    const std::string prefix = lead.substr(0, lead.find("Shortfall:"));
    ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
    double shortfall[3];
    ASSERT_EQ(std::sscanf(text.c_str() + text.find("Shortfall:"),
                          "Shortfall: fwd %lf N, swd %lf N, rot %lf N m", &shortfall[0],
                          &shortfall[1], &shortfall[2]),
              3)
        << text;
    for (int k = 0; k < 3; ++k)  // six significant digits
        EXPECT_NEAR(shortfall[k], raised[k] - t[k], 1e-5 * std::fabs(raised[k] - t[k]) + 1e-6) << k;
}

// NaN, infinity, a zero maximum and no active row end in the shutdown both types share (its
// outputs and the recovery after it are the default type's tests): every force cell 0,
// "Error?" 1, the notice with the row and the cell named, the two log entries.
TEST_F(OptimalChannelTest, BadCellsShutDown) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        int row;
        float Row::*cell;
        float value;
        const char* named;
    };
    const Case cases[] = {
        {"NaN maximum", 1, &Row::maxForce, nan, "row 1: maximum force is not a finite number"},
        {"infinite arm", 0, &Row::z, inf, "row 0: forward arm is not a finite number"},
        {"zero maximum", 1, &Row::maxForce, 0.0f, "row 1: maximum force is 0"},
        {"no active row", 0, &Row::active, 0.0f, "no active row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Row> rows = azimuths(2);
        rows[0].force = 5, rows[0].angle = 0.25f, rows[1].force = 6, rows[1].angle = 0.5f;
        rows[c.row].*c.cell = c.value;
        if (c.cell == &Row::active)
            rows[1].active = 0;
        Scene scene(rows);
        scene.channel->CallChannel();  // the worker shuts down and leaves the channel Idle
        Scene::waitFor([&] { return !scene.busy(); });

        EXPECT_EQ(scene.text(), kShutdownText + "optimal allocator: " + c.named);
        EXPECT_EQ(scene.errorFlag.GetValue(), 1.0f);
        EXPECT_EQ(scene.table.Cell(0, kForceCell), 0.0f);
        EXPECT_EQ(scene.table.Cell(1, kForceCell), 0.0f);
        EXPECT_EQ(logWithoutStamps("KestromThreadLog.txt"),
                  "|ShutDown()|optimal allocator: " + std::string(c.named));
        std::filesystem::remove("KestromThreadLog.txt");
    }
}
