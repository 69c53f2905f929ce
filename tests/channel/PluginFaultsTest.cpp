// Faults around the plug-in and their defined outcomes: a channel file truncated at every
// byte, links rewired while a computation runs, and a result that is not finite.
#include <cstdio>
#include <tuple>

#include "PluginScene.h"
#include "host/VroFile.h"
#include "portable/ShellCommand.h"

namespace {

// Four azimuths at the corners of a 20 m by 8 m box: every moderate demand is reachable.
std::vector<Row> fourAzimuths() {
    std::vector<Row> rows(4);
    for (int i = 0; i < 4; ++i)
        rows[i].x = i % 2 == 0 ? 4.0f : -4.0f, rows[i].z = i < 2 ? 10.0f : -10.0f,
        rows[i].maxForce = 1.0e4f;
    return rows;
}

struct PluginFaults : PluginTest {};

// The plug-in's channel saves and loads through the host's file: the whole file restores the
// saved name; a file cut short (every cut is the host loader's own test) loads nothing and
// leaves the channel as it was.
TEST_F(PluginFaults, ChannelFileRoundTripAndTruncation) {
    const std::filesystem::path whole = directory / "whole.vro";
    {
        Scene scene(fourAzimuths());
        scene.channel->SetChannelName("Allocation, aft group");
        VroFileSaver saver(whole.string().c_str());
        ASSERT_TRUE(scene.channel->SaveChannel(saver));
        ASSERT_TRUE(saver.Close());
    }
    const std::string bytes = readFile(whole);
    const std::filesystem::path cut = directory / "cut.vro";
    std::ofstream(cut, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size() / 2);
    for (const auto& [path, loads, name] :
         {std::tuple{whole, true, "Allocation, aft group"}, std::tuple{cut, false, "Kestrom"}}) {
        VroFileLoader loader(path.string().c_str());
        Vro_Channel* channel = newChannel();
        EXPECT_EQ(channel->LoadChannel(loader, nullptr), loads) << path;
        EXPECT_STREQ(channel->GetChannelName(), name) << path;
        delete channel;
    }
}

// The request is read at the call that starts it; the publication writes to whatever the
// links point at when it runs. Moving the demand link to another vector channel during the
// computation changes nothing of that request and is read by the next one; swapping the
// force and angle columns during it sends each published value to the other column.
TEST_F(PluginFaults, LinksRewiredWhileComputing) {
    Scene reference(fourAzimuths());
    reference.setDemand(3000.0f, 1000.0f, 5000.0f);
    reference.cycle();
    ASSERT_EQ(reference.text(), "No errors");

    Scene scene(fourAzimuths());
    scene.setDemand(3000.0f, 1000.0f, 5000.0f);
    Vro_VectorChannel other({-2000.0f, 0.0f, 0.0f});
    scene.channel->CallChannel();
    ASSERT_TRUE(scene.busy());
    scene.channel->ConnectChild(11, &other);
    scene.channel->ConnectChild(2, &scene.angle);
    scene.channel->ConnectChild(3, &scene.force);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(scene.table.Cell(r, kAngleCell), reference.table.Cell(r, kForceCell)) << r;
        EXPECT_EQ(scene.table.Cell(r, kForceCell), reference.table.Cell(r, kAngleCell)) << r;
    }
    EXPECT_NEAR(scene.thrust.GetVector().x, 3000.0f, 3.0f);

    // The next request reads the new demand (from the swapped columns' current cells).
    scene.channel->ConnectChild(2, &scene.force);
    scene.channel->ConnectChild(3, &scene.angle);
    for (int r = 0; r < 4; ++r)
        scene.table.SetCell(r, kForceCell, 0.0f), scene.table.SetCell(r, kAngleCell, 0.0f);
    scene.cycle();
    const D3DXVECTOR3 second = scene.thrust.GetVector();
    EXPECT_NEAR(second.x, -2000.0f, 2.0f);
    EXPECT_NEAR(second.y, 0.01f, 0.001f);
}

#if defined(KESTROM_SIM_PATH)
// Runs kestrom-sim with args in the working directory; gives its exit status and what it
// wrote to both streams.
int runSim(const std::string& args, std::string& output) {
    const int status =
        runInDirectory(std::filesystem::current_path().string(),
                       shellQuoted(KESTROM_SIM_PATH) + " " + args + " >sim.out 2>&1");
    output += readFile("sim.out");
    return status;
}

// A fixed-direction thruster whose reverse penalty is not 1 (here 3.14159265358): its efficiency
// changes with its thrust, the minimiser diverges and the published forces are NaN. kestrom-sim
// marks the request, keeps the JSON valid with the text "NaN", and exits with status 4.
TEST_F(PluginFaults, NonFiniteResultIsVisible) {
    const std::string row =
        R"("force": 3.14159265358, "angle": 3.14159265358, "position": [3.14159265358, 0,
        3.14159265358], "active": 1, "maxForce": 3.14159265358, "reversePenalty": 3.14159265358,
        "startAngle": 3.14159265358, )";
    std::ofstream(directory / "coincident.json")
        << R"({"actionInExtrema": 3, "demands": [[3.14159265358, 3.14159265358, 3.14159265358]],
        "rows": [{)"
        << row << R"("type": 1, "maxRotation": 3.14159265358}, {)" << row
        << R"("type": 0, "maxRotation": 2.6}, {)" << row << R"("type": 0, "maxRotation": 2.6}]})";
    const std::string scenario = shellQuoted((directory / "coincident.json").string());

    std::string human;
    EXPECT_EQ(runSim("run " + scenario, human), 4) << human;
    EXPECT_NE(human.find("  Not finite: "), std::string::npos) << human;
    EXPECT_NE(human.find("kestrom-sim: 1 of 1 requests published a value that is not a finite"),
              std::string::npos)
        << human;

    std::string json;
    EXPECT_EQ(runSim("run --json " + scenario, json), 4);
    const std::string line = json.substr(0, json.find('\n'));
    EXPECT_NE(line.find(R"("force":"NaN")"), std::string::npos) << line;
    EXPECT_EQ(line.find("null"), std::string::npos) << line;
}
#endif

}  // namespace
