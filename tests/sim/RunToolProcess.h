// Runs the built kestrom-sim in a scratch directory of its own (the plug-in writes its log
// files into the current directory) and collects its output and exit status.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct ToolResult {
    int status = -1;
    std::string out, err;
};

inline std::string readFile(const std::string& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class SimTool : public ::testing::Test {
  protected:
    SimTool() : dir_((std::filesystem::temp_directory_path() / "kestrom-run-XXXXXX").string()) {
        EXPECT_NE(mkdtemp(dir_.data()), nullptr) << dir_;
    }
    ~SimTool() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    }

    // Runs kestrom-sim with args (none holds a quote) in the scratch directory, standard
    // input read from input. The shell reports a tool killed by a signal as 128 + signal.
    ToolResult run(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
        std::string command = "cd '" + dir_ + "' && '" KESTROM_SIM_PATH "'";
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        const int raw = std::system((command + " <'" + input + "' >.out 2>.err").c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(file(".out")),
                readFile(file(".err"))};
    }

    std::string dir_;
};
