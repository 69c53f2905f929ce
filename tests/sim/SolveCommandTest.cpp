// kestrom-sim solve, run as a separate process on valid, model-rejected and
// malformed problems.
#include <functional>

#include <nlohmann/json.hpp>

#include "RunToolProcess.h"
#include "allocation/AllocationTestSupport.h"

namespace {

using nlohmann::json;

const std::string kProblems = KESTROM_PROBLEMS_DIR;
const std::string kTwoThrusters = kProblems + "/two-thrusters.json";

// Every example solves, from a file and from standard input alike, and the literal minimiser
// (--reference) prints the same; its printed totals are the sums in index order of its
// printed thrusters (sway counted as -forceY), exactly so only when every printed number
// reads back to the very double summed; forces are within their maxima; the four free
// azimuths meet the demand.
TEST_F(SimTool, ExamplesSolveConsistently) {
    for (const std::string name :
         {"two-thrusters", "four-azimuths", "fixed-directions", "saturating"}) {
        SCOPED_TRACE(name);
        const std::string path = kProblems + "/" + name + ".json";
        const ToolResult o = run({"solve", path});
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(run({"solve"}, path).out, o.out);
        EXPECT_EQ(run({"solve", "--reference", path}).out, o.out);
        const json problem = json::parse(readFile(path)), result = json::parse(o.out);
        const json& printed = result.at("thrusters");
        ASSERT_EQ(printed.size(), problem["thrusters"].size());
        double total[4] = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const double fx = printed[i].at("forceX"), fy = printed[i].at("forceY");
            const double force = printed[i].at("force");
            const json& thruster = problem["thrusters"][i];
            const double posX = thruster["posX"], posY = thruster["posY"];
            EXPECT_LE(force, thruster["maxForce"].get<double>() * (1 + 1e-12));
            total[0] += fx;
            total[1] += -fy;
            total[2] += -fy * posX - fx * posY;
            total[3] += force;
        }
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(result.at("total")[k].get<double>(), total[k]) << k;
        for (int k = 0; k < 3 && name == "four-azimuths"; ++k)
            EXPECT_NEAR(total[k], problem["demand"][k].get<double>(), 1e-6) << k;
    }
}

// Changed copies of the two-thruster problem: a value the model rejects gives its exact text
// as JSON on standard output and status 1; a NaN fixed angle, written as the string "NaN", is
// taken as no fixed angle; each kind of malformed input gives status 2, nothing on standard
// output and one line on standard error naming the file (or standard input) and the key.
TEST_F(SimTool, RejectedAndMalformedProblems) {
    const auto solve = [this](const std::function<void(json&)>& change) {
        json problem = json::parse(readFile(kTwoThrusters));
        change(problem);
        return run({"solve", write("p.json", problem.dump())});
    };
    const ToolResult rejected = solve([](json& p) { p["thrusters"][1]["maxRotation"] = 7.0; });
    EXPECT_EQ(rejected.status, 1);
    EXPECT_EQ(rejected.err, "");
    EXPECT_EQ(json::parse(rejected.out), json({{"error", rejectedRotationText()}}));
    const ToolResult nan = solve([](json& p) { p["barredAngles"] = {"NaN", -1.0}; });
    EXPECT_EQ(nan.status, 0) << nan.err;
    EXPECT_EQ(nan.out, run({"solve", kTwoThrusters}).out);

    const std::pair<std::function<void(json&)>, std::string> malformed[] = {
        {[](json& p) { p["demand"].erase(3); },
         "demand: expected 4 numbers [fwd, swd, rot, extra], got 3"},
        {[](json& p) { p["barredAngles"] = {-1.0}; },
         "barredAngles: expected 2 numbers (one per thruster), got 1"},
        {[](json& p) { p["thrusters"][0]["number"] = 128; },
         "thrusters[0].number: expected a whole number from -128 to 127"},
        {[](json& p) { p["thrusters"][1]["type"] = 2.5; },
         "thrusters[1].type: expected a whole number from -128 to 127"},
        {[](json& p) { p["thrusters"] = 3; }, "thrusters: expected an array, got a number"},
    };
    for (const auto& [change, expected] : malformed) {
        const ToolResult o = solve(change);
        EXPECT_EQ(o.status, 2) << expected;
        EXPECT_EQ(o.err + o.out, "kestrom-sim: " + file("p.json") + ": " + expected + "\n");
    }
    const ToolResult scenario = run({"solve", write("s.json", R"({"rows": []})")});
    EXPECT_EQ(scenario.err, "kestrom-sim: " + file("s.json") +
                                ": this looks like a scenario (it has \"rows\"): use kestrom-sim "
                                "run\n");
    // Option values out of range or not numbers: one line naming the option and its range.
    std::vector<std::pair<std::vector<std::string>, std::string>> options = {
        {{"bench", "--repeat", "abc", kTwoThrusters},
         "--repeat: expected a whole number from 1 to 100000000, got abc"},
        {{"run", "--timeout", "0"}, "--timeout: expected a number from 0.001 to 1000000, got 0"},
    };
#if defined(KESTROM_SIM_CAPABILITY)
    options.push_back({{"capability", "--directions", "-1"},
                       "--directions: expected a whole number from 1 to 3600, got -1"});
#endif
    for (const auto& [args, expected] : options) {
        const ToolResult o = run(args);
        EXPECT_EQ(o.status, 2) << expected;
        EXPECT_EQ(o.err + o.out, "kestrom-sim: " + expected + "\n");
    }
    const ToolResult notJson = run({"solve"}, write("x.json", "{\"demand\": ["));
    EXPECT_EQ(notJson.status, 2);
    EXPECT_EQ(notJson.out, "");
    EXPECT_EQ(notJson.err.rfind("kestrom-sim: <stdin>: not JSON: ", 0), 0u) << notJson.err;
}

}  // namespace
