// The subcommands of kestrom-sim. Each adds itself to the application; when it runs, its
// callback stores the process exit status in status: 0 success, 1 the model rejected the
// input, 2 malformed input or usage, and from `run` also 3 a request that exceeded its time
// limit, 4 a published value that is not finite, 5 an error shutdown, 6 a miss with
// --fail-on-miss (docs/scenario-format.md).
#pragma once

#include <CLI/CLI.hpp>

namespace kestrom_sim {

void addSolveCommand(CLI::App& app, int& status);
void addBenchCommand(CLI::App& app, int& status);
void addRunCommand(CLI::App& app, int& status);
void addCapabilityCommand(CLI::App& app, int& status);
// A build without GLPK (the Windows cross build): `capability` says it is not there.
void addMissingCapabilityCommand(CLI::App& app, int& status);

}  // namespace kestrom_sim
