// kestrom-sim solve and bench, run as a separate process on valid, model-rejected and
// malformed problems.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "RunToolProcess.h"

namespace {

using nlohmann::json;

// Runs kestrom-sim through the shell, so that args may redirect standard input.
class SimTool : public ::testing::Test {
  protected:
    ToolResult run(const std::string& args) {
        const std::string command = std::string("'") + KESTROM_SIM_PATH + "' " + args + " 2>'" +
                                    dir_.file("stderr.txt") + "'";
        ToolResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return result;
        }
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            result.out.append(buffer, n);
        }
        const int raw = pclose(pipe);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.err = readFile(dir_.file("stderr.txt"));
        return result;
    }
    std::string write(const std::string& name, const std::string& text) {
        return dir_.write(name, text);
    }

    ScratchDirectory dir_;
};

json thruster(int number, double posX, double posY, int type, double maxForce) {
    return {{"number", number},      {"posX", posX},
            {"posY", posY},          {"type", type},
            {"maxForce", maxForce},  {"force", 0.0},
            {"reversePenalty", 1.0}, {"angle", 0.0},
            {"startAngle", 0.0},     {"maxRotation", 3.14159265358}};
}

json twoThrusterProblem() {
    return {
        {"demand", {100.0, 20.0, 50.0, 0.0}},
        {"thrusters", {thruster(0, -30.0, -5.0, 2, 1000.0), thruster(1, -30.0, 5.0, 2, 1000.0)}}};
}

// Recomputes the totals from the printed thruster forces with the ship's sign rule (swd from
// minus forceY, moment posX*(-forceY) - posY*forceX) in the same order: exact equality holds
// only when every printed number reads back to the very double that was summed.
void expectTotalsFromThrusters(const json& problem, const json& result) {
    const json& printed = result.at("thrusters");
    ASSERT_EQ(printed.size(), problem.at("thrusters").size());
    double fwd = 0.0, swd = 0.0, rot = 0.0, extra = 0.0;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const double fx = printed[i].at("forceX"), fy = printed[i].at("forceY");
        const double force = printed[i].at("force");
        const double posX = problem["thrusters"][i].at("posX");
        const double posY = problem["thrusters"][i].at("posY");
        EXPECT_NEAR(force, std::hypot(fx, fy), 1e-9 * (1 + force));
        EXPECT_LE(force, double(problem["thrusters"][i].at("maxForce")) * (1 + 1e-12));
        fwd += fx;
        swd += -fy;
        rot += -fy * posX - fx * posY;
        extra += force;
    }
    const json& total = result.at("total");
    EXPECT_EQ(double(total[0]), fwd);
    EXPECT_EQ(double(total[1]), swd);
    EXPECT_EQ(double(total[2]), rot);
    EXPECT_EQ(double(total[3]), extra);
}

}  // namespace

// Every example problem solves; its printed totals agree exactly with its printed thrusters;
// the four free azimuths meet their (feasible) demand; standard input gives the same output.
TEST_F(SimTool, ExamplesSolveConsistently) {
    for (const char* name : {"two-thrusters", "four-azimuths", "fixed-directions", "saturating"}) {
        const std::string path = std::string(KESTROM_PROBLEMS_DIR) + "/" + name + ".json";
        const ToolResult o = run("solve '" + path + "'");
        ASSERT_EQ(o.status, 0) << name << ": " << o.err;
        EXPECT_EQ(o.err, "");
        expectTotalsFromThrusters(json::parse(readFile(path)), json::parse(o.out));

        if (std::string(name) == "four-azimuths") {
            const json total = json::parse(o.out)["total"];
            const json demand = json::parse(readFile(path))["demand"];
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(double(total[k]), double(demand[k]), 1e-6) << "component " << k;
            }
        }
        EXPECT_EQ(run("solve < '" + path + "'").out, o.out) << name;
    }
}

// A value the model rejects gives its exact text as JSON on standard output and status 1;
// a NaN fixed angle, written as the string "NaN", is accepted.
TEST_F(SimTool, ModelRejectionAndNamedNonFinite) {
    json problem = twoThrusterProblem();
    problem["thrusters"][1]["maxRotation"] = 7.0;
    const ToolResult o = run("solve '" + write("p.json", problem.dump()) + "'");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(json::parse(o.out),
              json({{"error",
                     "Error in Class:Thrusterobj Function:MaxRotation. Incorrect input value."}}));

    problem = twoThrusterProblem();
    problem["barredAngles"] = {"NaN", -1.0};
    const ToolResult nan = run("solve '" + write("nan.json", problem.dump()) + "'");
    EXPECT_EQ(nan.status, 0) << nan.err;
    EXPECT_EQ(nan.out, run("solve '" + write("free.json", twoThrusterProblem().dump()) + "'").out);
}

// Each kind of malformed input: status 2, nothing on standard output, one line on standard
// error naming the file and the key.
TEST_F(SimTool, MalformedInputNamesTheKey) {
    struct Case {
        const char* what;
        std::function<void(json&)> spoil;
        std::string expected;  // the line after "kestrom-sim: FILE: "
    };
    const Case cases[] = {
        {"missing key", [](json& p) { p.erase("demand"); }, "demand: missing"},
        {"mistyped", [](json& p) { p["thrusters"][1]["maxForce"] = "big"; },
         "thrusters[1].maxForce: expected a number, got a string"},
        {"short demand",
         [](json& p) {
             p["demand"] = {1.0, 2.0, 3.0};
         },
         "demand: expected 4 numbers [fwd, swd, rot, extra], got 3"},
        {"barred length", [](json& p) { p["barredAngles"] = {-1.0}; },
         "barredAngles: expected 2 numbers (one per thruster), got 1"},
        {"number range", [](json& p) { p["thrusters"][0]["number"] = 128; },
         "thrusters[0].number: expected a whole number from -128 to 127"},
        {"type fraction", [](json& p) { p["thrusters"][1]["type"] = 2.5; },
         "thrusters[1].type: expected a whole number from -128 to 127"},
        {"unknown key", [](json& p) { p["thrusters"][0]["maxforce"] = 1.0; },
         "thrusters[0].maxforce: unknown key"},
        {"thrusters not a list", [](json& p) { p["thrusters"] = 3; },
         "thrusters: expected an array, got a number"},
    };
    for (const Case& c : cases) {
        json problem = twoThrusterProblem();
        c.spoil(problem);
        const std::string path = write("bad.json", problem.dump());
        const ToolResult o = run("solve '" + path + "'");
        EXPECT_EQ(o.status, 2) << c.what;
        EXPECT_EQ(o.out, "") << c.what;
        EXPECT_EQ(o.err, "kestrom-sim: " + path + ": " + c.expected + "\n") << c.what;
    }

    const ToolResult notJson = run("solve < '" + write("x.json", "{\"demand\": [") + "'");
    EXPECT_EQ(notJson.status, 2);
    EXPECT_EQ(notJson.out, "");
    EXPECT_EQ(notJson.err.rfind("kestrom-sim: <stdin>: not JSON: ", 0), 0u) << notJson.err;

    const ToolResult noFile = run("solve '" + dir_.file("absent.json") + "'");
    EXPECT_EQ(noFile.status, 2);
    EXPECT_EQ(noFile.out, "");
}

// bench prints a whole number of nanoseconds as the last line, min and max on standard error,
// and rejects a zero repeat.
TEST_F(SimTool, BenchPrintsMedian) {
    const std::string path = write("p.json", twoThrusterProblem().dump());
    const ToolResult o = run("bench '" + path + "' --repeat 7");
    ASSERT_EQ(o.status, 0) << o.err;
    ASSERT_FALSE(o.out.empty());
    const std::string last = o.out.substr(o.out.rfind('\n', o.out.size() - 2) + 1);
    EXPECT_EQ(last.find_first_not_of("0123456789"), last.size() - 1) << last;  // digits, newline
    EXPECT_NE(o.err.find("min"), std::string::npos);

    EXPECT_EQ(run("bench '" + path + "' --repeat 0").status, 2);
}
