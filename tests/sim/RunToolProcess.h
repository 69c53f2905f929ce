// Runs the built kestrom-sim in a scratch directory of its own (the plug-in writes its log
// files into the current directory) and collects its output and exit status, or the JSON
// results of a run; scenario rows for its input.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "portable/ScratchDirectory.h"
#include "portable/ShellCommand.h"
#include "portable/TestText.h"

struct ToolResult {
    int status = -1;
    std::string out, err;
};

// A program's output as text: its CR LF line ends (text mode on Windows) read as '\n'.
inline std::string readText(const std::string& path) {
    std::string text = readFile(path);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// A scenario row: an azimuth at sideways arm x and forward arm z.
inline nlohmann::json scenarioRow(double x, double z, const nlohmann::json& maxForce = 500,
                                  double maxRotation = 3.14159265358) {
    return {{"force", 0},          {"angle", 0},      {"position", {x, 0, z}},
            {"type", 2},           {"active", 1},     {"maxForce", maxForce},
            {"reversePenalty", 1}, {"startAngle", 0}, {"maxRotation", maxRotation}};
}

class SimTool : public ::testing::Test {
  protected:
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    }

    // Runs kestrom-sim with args (none holds a quote) in the scratch directory, standard
    // input read from input (by default the null device). The shell reports a tool killed by
    // a signal as 128 + signal.
    ToolResult run(const std::vector<std::string>& args, const std::string& input = "") {
        std::string command = shellQuoted(KESTROM_SIM_PATH);
        for (const std::string& arg : args)
            command += " " + shellQuoted(arg);
        command += " <" + shellQuoted(input.empty() ? kNullDevice : input) + " >.out 2>.err";
        return {runInDirectory(dir_, command), readText(file(".out")), readText(file(".err"))};
    }

    // The JSON result lines of `kestrom-sim run --json args` ending with `status`, without the
    // time each request took (checked to be a duration); last keeps the tool's output.
    std::vector<nlohmann::json> results(std::vector<std::string> args, int status = 0) {
        args.insert(args.begin(), {"run", "--json"});
        last = run(args);
        EXPECT_EQ(last.status, status) << last.err;
        std::vector<nlohmann::json> parsed;
        for (const std::string& line : lines(last.out)) {
            parsed.push_back(nlohmann::json::parse(line));
            EXPECT_GE(parsed.back()["seconds"].get<double>(), 0.0);
            parsed.back().erase("seconds");
        }
        return parsed;
    }

    ToolResult last;
    ScratchDirectory scratch_{"kestrom-run-"};
    std::string dir_ = scratch_.path().string();
};
