// Hostile input to the tool's newer surfaces, run as a separate process: each case once
// aborted, hung, ran for minutes or printed more than one line. Each must now end with status
// 2 and one line naming what is wrong.
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "RunToolProcess.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using nlohmann::json;

// One line on standard error starting with "kestrom-sim: " + start, nothing on standard
// output, status 2.
void expectOneLineRefusal(const ToolResult& r, const std::string& start) {
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("kestrom-sim: " + start, 0), 0u) << r.err;
}

TEST_F(SimTool, SolveReadsAtMost128Thrusters) {
    json thruster = {
        {"number", 0},       {"posX", 0.0},       {"posY", 0.0},           {"type", 0},
        {"maxForce", 1.0},   {"force", 0.0},      {"reversePenalty", 1.0}, {"angle", 0.0},
        {"startAngle", 0.0}, {"maxRotation", 1.0}};
    json problem = {{"demand", {1.0, 0.0, 0.0, 0.0}}, {"thrusters", json::array()}};
    for (int i = 0; i < 128; ++i)
        problem["thrusters"].push_back(thruster);
    EXPECT_EQ(run({"solve", write("128.json", problem.dump())}).status, 0);
    problem["thrusters"].push_back(thruster);
    expectOneLineRefusal(run({"solve", write("129.json", problem.dump())}),
                         file("129.json") + ": thrusters: expected at most 128 thrusters, got 129");
}

#if !defined(_WIN32)
// A path or an option value holding a newline is echoed escaped (a Windows command line
// cannot carry one).
TEST_F(SimTool, MessagesStayOnOneLine) {
    expectOneLineRefusal(run({"solve", "no\nsuch.json"}), "no\\nsuch.json: cannot be read");
    expectOneLineRefusal(run({"run", "--timeout", "1\n2"}), "--timeout: expected a number");
}
#endif

#if defined(KESTROM_SIM_CAPABILITY)

// 1e-12 % once meant 1e14 grid magnitudes (an int overflow gave a null allocation and
// status 0); the finest step allowed still allocates. (The bounds of the options themselves
// are checked through the Python module, which shares them.)
TEST_F(SimTool, CapabilityFinestStepAllocates) {
    const ToolResult finest = run({"capability", "--directions", "1", "--step", "0.01", "--json"});
    ASSERT_EQ(finest.status, 0) << finest.err;
    EXPECT_FALSE(json::parse(finest.out)["directions"][0]["allocation"].is_null());
}

// A moment far beyond reach once ended the process in an assertion of GLPK's presolver; now
// one line. (The arms that broke GLPK, 1e-20 m beside 1 m and 36 km forward, go through the
// same physical limit with the same vessels in the Python module's hostile-input tests.)
TEST_F(SimTool, CapabilityRefusesAMomentFarBeyondReach) {
    const std::string far = write(
        "far.json",
        json({{"rows", {scenarioRow(-0.1644, -1000.0, 1.5), scenarioRow(0.1644, -0.9911, 1.5)}}})
            .dump());
    expectOneLineRefusal(run({"capability", far, "--directions", "1", "--moment", "1e6"}),
                         "--moment: the thrusters cannot hold this yaw moment");
}

#if !defined(_WIN32)
// A pipe once blocked run and capability for ever; a device, a file of /proc and a name too
// long for the system passed the check and failed only after the computation.
TEST_F(SimTool, OutputPathsAreRegularWritableFiles) {
    ASSERT_EQ(mkfifo(file("pipe").c_str(), 0600), 0);
    const std::string tooLong(300, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {file("pipe"), "is not a regular file"},
        {"/dev/full", "is not a regular file"},
        {"/proc/version", "cannot be written"},
        {file(tooLong), "cannot be written"},
    };
    for (const auto& [path, problem] : cases) {
        for (const std::string option : {"--csv", "--svg"}) {
            expectOneLineRefusal(run({"capability", "--directions", "1", option, path}),
                                 path + ": " + option + ": " + problem);
        }
        expectOneLineRefusal(
            run({"run", std::string(KESTROM_EXAMPLES_DIR) + "/ferry.json", "--svg", path}),
            path + ": --svg: " + problem);
    }
    // The check leaves no file behind when the command is refused afterwards.
    expectOneLineRefusal(run({"capability", file("none.json"), "--csv", file("new.csv")}),
                         file("none.json") + ": cannot be read");
    EXPECT_FALSE(std::filesystem::exists(file("new.csv")));
}
#endif

#endif

}  // namespace
