// The subcommands of kestrom-sim. Each adds itself to the application; when it runs, its
// callback stores the process exit status in status (0 success, 1 the model rejected the
// input, 2 malformed input or usage, 3 a `run` request that exceeded its time limit).
#pragma once

#include <CLI/CLI.hpp>

namespace kestrom_sim {

void addSolveCommand(CLI::App& app, int& status);
void addBenchCommand(CLI::App& app, int& status);
void addRunCommand(CLI::App& app, int& status);
void addCapabilityCommand(CLI::App& app, int& status);

}  // namespace kestrom_sim
