// `kestrom-sim capability` in a build without GLPK (the Windows cross build): the command is
// named, so that asking for it says why it is not there instead of a usage error.
#include <iostream>

#include "Commands.h"

namespace kestrom_sim {

void addMissingCapabilityCommand(CLI::App& app, int& status) {
    CLI::App* command =
        app.add_subcommand("capability",
                           "not in this build: the capability envelope needs GLPK, which this "
                           "build was made without");
    command->allow_extras();
    command->callback([&status] {
        std::cerr << "kestrom-sim: capability: this build has no capability command (it needs "
                     "GLPK, which this build was made without; the Linux build has it)\n";
        status = 2;
    });
}

}  // namespace kestrom_sim
