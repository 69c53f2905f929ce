// kestrom-sim: a command-line host for the thrust-allocation library.
#include <iostream>

#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Thrust allocation from the command line."};
    app.name("kestrom-sim");
    app.require_subcommand(1);
    // Options are --name on every system, so that an argument such as /data/ferry.json is a
    // file on Windows too (set before the subcommands, which take it over).
    app.allow_windows_style_options(false);
    int status = 0;
    kestrom_sim::addSolveCommand(app, status);
    kestrom_sim::addBenchCommand(app, status);
    kestrom_sim::addRunCommand(app, status);
#if defined(KESTROM_SIM_CAPABILITY)
    kestrom_sim::addCapabilityCommand(app, status);
#else
    kestrom_sim::addMissingCapabilityCommand(app, status);
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version exit 0; every usage error is a malformed-input error, told on
        // one line like every other.
        if (e.get_exit_code() == 0) {
            return app.exit(e);
        }
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    }
    return status;
}
