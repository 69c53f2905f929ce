// `kestrom-sim capability [SCENARIO]`: the vessel's capability envelope, the allocation's
// limit against the physical limit in every direction, as a table, JSON, CSV and a picture.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <string>

#include "CapabilityOutput.h"
#include "Commands.h"
#include "OptionChecks.h"
#include "OutputFile.h"
#include "SvgText.h"
#include "Terminal.h"
#include "capability/CapabilityEnvelope.h"
#include "scenario/DefaultVessel.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"
#include "scenario/ScenarioWarnings.h"

namespace kestrom_sim {

namespace {

struct CapabilityCommandOptions {
    std::string scenarioPath;
    CapabilityOptions envelope;
    bool json = false;
    std::string csvPath;
    std::string svgPath;
};

// A limit as the table shows it: nan when even the pure moment is missed.
double shown(const std::optional<double>& limit) {
    return limit ? *limit : std::nan("");
}

void printTable(std::ostream& out, const std::string& name, const CapabilityEnvelope& e) {
    out << name << ": capability envelope at a yaw moment of " << e.moment << " N m\n"
        << "  angle deg   allocation N      optimal N     physical N   share %   met above the "
           "first miss\n";
    for (const DirectionCapability& d : e.directions) {
        char line[160];
        const double share =
            d.allocation && d.physical > 0.0 ? 100.0 * *d.allocation / d.physical : 0.0;
        std::snprintf(line, sizeof line, "%11.2f %14.6g %14.6g %14.6g %9.1f", d.angle,
                      shown(d.allocation), shown(d.optimal), d.physical, share);
        out << line << "   " << d.metAbove.size() << '\n';
    }
    out << "allocation: the default plug-in's; optimal: the KestromOptimal plug-in's; share: "
           "allocation over physical.\n"
        << "Angles turn from ahead (0) towards port (90); JSON and CSV give every value "
           "exactly.\n";
}

// A bar on standard error, redrawn after each direction, when that is a terminal.
void showProgress(int done, int total) {
    const int width = 40;
    const int filled = done * width / total;
    std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(width - filled), '.') << "] " << done << '/'
              << total << std::flush;
    if (done == total) {
        std::cerr << '\n';
    }
}

int runCapability(CapabilityCommandOptions& options) {
    const std::string file =
        options.scenarioPath.empty() ? kDefaultVesselSource : inputName(options.scenarioPath);
    try {
        if (!options.csvPath.empty()) {
            checkOutputPath(options.csvPath, "--csv");
        }
        if (!options.svgPath.empty()) {
            checkOutputPath(options.svgPath, "--svg");
        }
        Scenario scenario;
        if (options.scenarioPath.empty()) {
            scenario = defaultVessel();
        } else {
            const nlohmann::json document = readJsonFile(options.scenarioPath);
            scenario = parseScenario(JsonField(document, file), file, false);
        }
        if (standardErrorIsTerminal()) {
            options.envelope.progress = showProgress;
        }
        const CapabilityEnvelope envelope = capabilityEnvelope(scenario, options.envelope);
        // Only an accepted input is warned about, so that bad input stays one line.
        // The allocation envelope is the default allocator's.
        printScenarioWarnings(scenario, file, AllocatorKind::standard);
        if (options.json) {
            std::cout << capabilityJson(envelope);
        } else {
            printTable(std::cout, scenario.name, envelope);
        }
        if (!options.csvPath.empty()) {
            writeTextFile(options.csvPath, capabilityCsv(envelope));
        }
        if (!options.svgPath.empty()) {
            writeTextFile(options.svgPath, capabilitySvg(envelope, scenario.name));
        }
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    } catch (const CapabilityInputError& e) {
        // An option is named by itself, a row by the scenario it belongs to.
        const bool option = e.key().rfind("--", 0) == 0;
        std::cerr << "kestrom-sim: "
                  << (option ? oneLine(e.key() + ": " + e.what())
                             : inputMessage(file, e.key(), e.what()))
                  << '\n';
        return 2;
    }
    return 0;
}

}  // namespace

void addCapabilityCommand(CLI::App& app, int& status) {
    CLI::App* command = app.add_subcommand(
        "capability",
        "The largest force the vessel holds in each direction: with the plug-in's allocation "
        "and at best with its thrusters. Without SCENARIO a built-in supply vessel is used.");
    auto options = std::make_shared<CapabilityCommandOptions>();
    command->add_option("SCENARIO", options->scenarioPath, "scenario file (JSON)");
    command
        ->add_option("--directions", options->envelope.directions,
                     "number of force directions, evenly spaced (default 72)")
        ->check(wholeNumberIn(1, kMaxDirections));
    command
        ->add_option("--moment", options->envelope.moment,
                     "yaw moment held meanwhile, N m, bow to port positive (default 0)")
        ->check(numberIn());
    command
        ->add_option("--step", options->envelope.stepPercent,
                     "grid step of the allocation's limit, percent of the physical limit "
                     "(default 1)")
        ->check(numberIn());
    command
        ->add_option("--tolerance", options->envelope.tolerance,
                     "share of the demand a met request may miss by (default 0.01)")
        ->check(numberIn());
    command
        ->add_option("--threads", options->envelope.threads,
                     "worker threads (default: one per core)")
        ->check(wholeNumberIn(0, std::numeric_limits<unsigned>::max()));
    command->add_flag("--json", options->json, "print the envelope as one JSON object");
    command->add_option("--csv", options->csvPath, "write the envelope as CSV");
    command->add_option("--svg", options->svgPath, "write a polar picture of both envelopes");
    command->callback([options, &status] { status = runCapability(*options); });
}

}  // namespace kestrom_sim
