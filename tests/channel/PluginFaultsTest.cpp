// Faults around the plug-in and their defined outcomes: a channel file's round trip and a
// truncated one, links rewired while a computation runs, and a result that is not finite.
#include <tuple>

#include "PluginScene.h"
#include "host/VroFile.h"
#if defined(KESTROM_SIM_PATH)
#include "sim/RunToolProcess.h"
#endif

namespace {

struct PluginFaults : PluginTest {};

// The plug-in's channel saves and loads through the host's file: the whole file restores the
// saved name; a file cut short (every cut is the host loader's own test) loads nothing and
// leaves the channel as it was.
TEST_F(PluginFaults, ChannelFileRoundTripAndTruncation) {
    const std::filesystem::path whole = directory / "whole.vro";
    {
        Scene scene(azimuths());
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
// computation changes nothing of that request; swapping the force and angle columns during it
// sends each published value to the other column. (That the next request reads the links as
// they are then is shown by ChannelTest.InputRules, which unlinks inputs read before.)
TEST_F(PluginFaults, LinksRewiredWhileComputing) {
    Scene reference(azimuths());  // the scene's demand, met
    reference.cycle();
    ASSERT_EQ(reference.text(), "No errors");

    Scene scene(azimuths());
    Vro_VectorChannel other({-200.0f, 0.0f, 0.0f});
    scene.channel->CallChannel();
    ASSERT_TRUE(scene.busy());
    scene.channel->ConnectChild(11, &other);
    scene.channel->ConnectChild(2, &scene.angle);
    scene.channel->ConnectChild(3, &scene.force);
    scene.cycle();
    EXPECT_EQ(scene.text(), "No errors");
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(scene.table.Cell(r, kAngleCell), reference.table.Cell(r, kForceCell)) << r;
        EXPECT_EQ(scene.table.Cell(r, kForceCell), reference.table.Cell(r, kAngleCell)) << r;
    }
    EXPECT_NEAR(scene.thrust.GetVector().x, 100.0f, 0.1f);
}

#if defined(KESTROM_SIM_PATH)
struct PluginFaultsInTheTool : SimTool {};

// A fixed-direction thruster whose reverse penalty is not 1 (here 3.14159265358): its efficiency
// changes with its thrust, the minimiser diverges and the published forces are NaN. kestrom-sim
// marks the request, keeps the JSON valid with the text "NaN", and exits with status 4.
TEST_F(PluginFaultsInTheTool, NonFiniteResultIsVisible) {
    const std::string row =
        R"("force": 3.14159265358, "angle": 3.14159265358, "position": [3.14159265358, 0,
        3.14159265358], "active": 1, "maxForce": 3.14159265358, "reversePenalty": 3.14159265358,
        "startAngle": 3.14159265358, )";
    const std::string scenario = write(
        "coincident.json",
        R"({"actionInExtrema": 3, "demands": [[3.14159265358, 3.14159265358, 3.14159265358]],
        "rows": [{)" +
            row + R"("type": 1, "maxRotation": 3.14159265358}, {)" + row +
            R"("type": 0, "maxRotation": 2.6}, {)" + row + R"("type": 0, "maxRotation": 2.6}]})");

    const ToolResult human = run({"run", scenario});
    EXPECT_EQ(human.status, 4) << human.err;
    EXPECT_NE(human.out.find("  Not finite: "), std::string::npos) << human.out;
    EXPECT_NE(human.err.find("kestrom-sim: 1 of 1 requests published a value that is not a finite"),
              std::string::npos)
        << human.err;

    ASSERT_EQ(results({scenario}, 4).size(), 1u);
    EXPECT_NE(last.out.find(R"("force":"NaN")"), std::string::npos) << last.out;
    EXPECT_EQ(last.out.find("null"), std::string::npos) << last.out;
}
#endif

}  // namespace
