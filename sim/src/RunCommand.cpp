// `kestrom-sim run [SCENARIO]`: a host for the plug-in. It loads the plug-in, builds the
// scene of a vessel, feeds it one demand after the other and shows what the channel
// published: as tables, JSON Lines, a CSV series and an SVG picture.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "ChannelRows.h"
#include "Commands.h"
#include "CsvSeries.h"
#include "DefaultVessel.h"
#include "JsonInput.h"
#include "NumberText.h"
#include "PluginLoader.h"
#include "Scenario.h"
#include "Scene.h"
#include "SvgPicture.h"
#include "host/EngineInterface.h"

namespace kestrom_sim {

namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
// A series at least this long shows a progress bar when standard error is a terminal.
constexpr std::size_t kProgressFrom = 20;

struct RunOptions {
    std::string scenarioPath;
    std::string pluginPath;
    bool json = false;
    std::string svgPath;
    bool svgAll = false;
    std::string demandsPath;
    std::string csvPath;
    double timeoutSeconds = 30.0;
};

std::string jsonString(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// JSON has no literal for a number that is not finite: such a published value travels as
// the text "NaN", "Infinity" or "-Infinity", as in the solve format.
std::string publishedJson(double value) {
    if (std::isnan(value)) {
        return "\"NaN\"";
    }
    if (std::isinf(value)) {
        return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    }
    return roundTripText(value);
}

bool publishedNotFinite(const RequestResult& r) {
    bool notFinite =
        !std::isfinite(r.energy) || !std::isfinite(r.activeThrusters) || !std::isfinite(r.error);
    for (const float value : r.thrustGenerated) {
        notFinite = notFinite || !std::isfinite(value);
    }
    for (const RowResult& row : r.rows) {
        notFinite = notFinite || !std::isfinite(row.force) || !std::isfinite(row.angle);
    }
    return notFinite;
}

std::string jsonLine(const RequestResult& r) {
    std::ostringstream out;
    out << "{\"demand\":[" << publishedJson(r.demand[0]) << ',' << publishedJson(r.demand[1]) << ','
        << publishedJson(r.demand[2]) << "],\"started\":" << (r.started ? "true" : "false")
        << ",\"rows\":[";
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        out << (i > 0 ? "," : "") << "{\"force\":" << publishedJson(r.rows[i].force)
            << ",\"angle\":" << publishedJson(r.rows[i].angle) << '}';
    }
    out << "],\"thrustGenerated\":[" << publishedJson(r.thrustGenerated[0]) << ','
        << publishedJson(r.thrustGenerated[1]) << ',' << publishedJson(r.thrustGenerated[2])
        << "],\"energy\":" << publishedJson(r.energy)
        << ",\"activeThrusters\":" << publishedJson(r.activeThrusters)
        << ",\"errorMessage\":" << jsonString(r.errorMessage)
        << ",\"error\":" << publishedJson(r.error) << '}';
    return out.str();
}

// Degrees to two decimals, without a "-0.00" for an angle a hair below zero.
double displayDegrees(float radians) {
    const double degrees = static_cast<double>(radians) * kDegreesPerRadian;
    return std::fabs(degrees) < 0.005 ? 0.0 : degrees;
}

std::string formatted(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// text right-aligned in width columns (at least one space before it).
std::string padded(const std::string& text, std::size_t width) {
    return std::string(text.size() + 1 < width ? width - text.size() : 1, ' ') + text;
}

void printHuman(std::ostream& out, const Scenario& scenario, const RequestResult& r,
                std::size_t number, std::size_t count) {
    out << "\nRequest " << number << " of " << count << ": demand fwd "
        << roundTripText(r.demand[0]) << " N, swd " << roundTripText(r.demand[1]) << " N, rot "
        << roundTripText(r.demand[2]) << " N m\n";
    if (r.end == RequestEnd::notStarted) {
        out << "  No computation started: the table's present settings already meet the demand."
               "\n  The table and the outputs are as the previous publication left them.\n";
    } else if (r.end == RequestEnd::shutDown) {
        out << (r.started ? "  The computation failed: the channel shut the thrusters down.\n"
                          : "  The channel refused the request and shut the thrusters down.\n");
    }
    if (publishedNotFinite(r)) {
        out << "  Not finite: the channel published a value that is not a finite number "
               "(nan or inf below).\n";
    }
    out << "   row  type           force           angle  angle deg         maximum   use %\n";
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const ThrusterRow& row = scenario.rows[i];
        const bool active = rowIsActive(scenario, i);
        const float force = r.rows[i].force;
        out << formatted("%6.0f", static_cast<double>(i))
            << padded(scenario.has(Column::type) ? roundTripText(row.type) : "-", 6)
            << padded(floatText(force), 16) << padded(floatText(r.rows[i].angle), 16)
            << formatted("%11.2f", displayDegrees(r.rows[i].angle));
        if (scenario.has(Column::maxForce)) {
            out << padded(roundTripText(row.maxForce), 16);
            out << (row.maxForce != 0.0
                        ? formatted("%8.1f", 100.0 * std::fabs(static_cast<double>(force)) /
                                                 std::fabs(row.maxForce))
                        : "       -");
        } else {
            out << padded("-", 16) << "       -";
        }
        out << (active ? "" : "  (inactive)") << '\n';
    }
    const char* names[3] = {"fwd", "swd", "rot"};
    out << "                    demanded           generated\n";
    for (std::size_t k = 0; k < 3; ++k) {
        out << "   " << names[k] << padded(roundTripText(r.demand[k]), 22)
            << padded(floatText(r.thrustGenerated[k]), 20) << '\n';
    }
    out << "   energy" << padded(floatText(r.energy), 36) << '\n'
        << "   active thrusters" << padded(floatText(r.activeThrusters), 26) << '\n'
        << "   Error Message: " << r.errorMessage << '\n'
        << "   Error?" << padded(floatText(r.error), 36) << '\n';
}

void showWarnings(const RequestResult* result) {
    for (const std::string& message : globalEngineTakeDebugMessages()) {
        std::cerr << "kestrom-sim: warning: host debug message: " << message << '\n';
    }
    if (result != nullptr) {
        for (const std::string& message : result->overwrittenMessages) {
            std::cerr << "kestrom-sim: warning: the channel wrote, then replaced, "
                         "\"Error Message\": "
                      << message << '\n';
        }
    }
}

// "out.svg" gives "out-3.svg" for request 3.
std::string numberedPath(const std::string& path, std::size_t number) {
    const std::string suffix = ".svg";
    const bool hasSuffix = path.size() > suffix.size() &&
                           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string stem = hasSuffix ? path.substr(0, path.size() - suffix.size()) : path;
    return stem + "-" + std::to_string(number) + suffix;
}

std::string fileStem(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

class ProgressBar {
  public:
    explicit ProgressBar(std::size_t total)
        : total_(total), shown_(total >= kProgressFrom && isatty(STDERR_FILENO) == 1) {}
    void update(std::size_t done) {
        if (!shown_) {
            return;
        }
        const std::size_t width = 40;
        const std::size_t filled = done * width / total_;
        std::cerr << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] "
                  << done << '/' << total_ << std::flush;
        if (done == total_) {
            std::cerr << '\n';
        }
    }

  private:
    std::size_t total_;
    bool shown_;
};

Scenario loadScenario(const RunOptions& options) {
    const bool demandsFromCsv = !options.demandsPath.empty();
    Scenario scenario;
    if (options.scenarioPath.empty()) {
        scenario = defaultVessel();
    } else {
        const nlohmann::json document = readJsonFile(options.scenarioPath);
        scenario = parseScenario(JsonField(document, inputName(options.scenarioPath)),
                                 fileStem(options.scenarioPath), !demandsFromCsv);
    }
    if (demandsFromCsv) {
        scenario.demands = readDemandsCsv(options.demandsPath);
    }
    return scenario;
}

int runScenario(const RunOptions& options) {
    const std::string pluginPath =
        options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    Scenario scenario;
    std::unique_ptr<CsvResultWriter> csv;
    std::unique_ptr<Plugin> plugin;
    std::unique_ptr<Scene> scene;
    try {
        scenario = loadScenario(options);
        if (!options.csvPath.empty()) {
            csv = std::make_unique<CsvResultWriter>(options.csvPath, scenario.rows.size());
        }
        plugin = std::make_unique<Plugin>(pluginPath);
        scene = std::make_unique<Scene>(plugin->createChannel(), scenario, pluginPath);
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    }
    if (!scenario.has(Column::active)) {
        std::cerr << "kestrom-sim: warning: no row gives \"active\": its link stays unconnected "
                     "and the channel reads every row as inactive\n";
    }
    showWarnings(nullptr);
    if (!options.json) {
        std::cout << scenario.name << ": " << scenario.rows.size() << " thrusters, plug-in \""
                  << plugin->typeName() << "\" (" << pluginPath << ")\n";
    }

    const std::size_t count = scenario.demands.size();
    ProgressBar progress(count);
    std::optional<RequestResult> last;
    std::size_t notFinite = 0;
    try {
        for (std::size_t n = 1; n <= count; ++n) {
            RequestResult result = scene->request(
                scenario.demands[n - 1], std::chrono::duration<double>(options.timeoutSeconds));
            showWarnings(&result);
            if (result.end == RequestEnd::timedOut) {
                std::cout.flush();
                if (csv) {
                    csv->flush();
                }
                std::cerr << "kestrom-sim: request " << n << ": no result after "
                          << options.timeoutSeconds
                          << " s; leaving the computation running and stopping\n";
                // Destroying the channel would wait for its worker, and unloading the
                // library would pull the code from under it: leave both to the exit.
                scene->abandonChannel();
                plugin->keepLoaded();
                std::fflush(nullptr);
                std::_Exit(3);
            }
            if (options.json) {
                std::cout << jsonLine(result) << '\n';
            } else {
                printHuman(std::cout, scenario, result, n, count);
            }
            if (csv) {
                csv->write(n, result);
            }
            if (!options.svgPath.empty() && options.svgAll) {
                writeTextFile(numberedPath(options.svgPath, n),
                              svgPicture(scenario, result, n, count));
            }
            notFinite += publishedNotFinite(result) ? 1 : 0;
            progress.update(n);
            last = std::move(result);
        }
        if (!options.svgPath.empty() && !options.svgAll && last) {
            writeTextFile(options.svgPath, svgPicture(scenario, *last, count, count));
        }
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        // The channel catches its own failures; one that escapes is the plug-in's fault.
        std::cerr << "kestrom-sim: " << pluginPath << ": the channel failed: " << e.what() << '\n';
        return 1;
    }
    std::cout.flush();
    if (notFinite > 0) {
        std::cerr << "kestrom-sim: " << notFinite << " of " << count
                  << " requests published a value that is not a finite number\n";
        return 4;
    }
    return 0;
}

}  // namespace

void addRunCommand(CLI::App& app, int& status) {
    CLI::App* run = app.add_subcommand(
        "run",
        "Allocate a vessel's thrust through the channel plug-in, one request per demand, "
        "and show what it publishes. Without SCENARIO a built-in supply vessel is used.");
    auto options = std::make_shared<RunOptions>();
    run->add_option("SCENARIO", options->scenarioPath, "scenario file (JSON)");
    run->add_option("--plugin", options->pluginPath,
                    "plug-in library to load (default: the one built with the tool)");
    run->add_flag("--json", options->json,
                  "print one JSON object per request (JSON Lines) instead of tables");
    CLI::Option* svg =
        run->add_option("--svg", options->svgPath, "write a picture of the last request");
    run->add_flag("--svg-all", options->svgAll,
                  "write a picture of every request, FILE-N.svg for request N")
        ->needs(svg);
    run->add_option("--demands", options->demandsPath,
                    "CSV file of demands fwd,swd,rot, one request per line (replaces the "
                    "scenario's demands)");
    run->add_option("--csv", options->csvPath,
                    "write one CSV line per request: demand, generated thrust, energy, and "
                    "force and angle per row");
    run->add_option("--timeout", options->timeoutSeconds,
                    "seconds to wait for one request before giving up (exit status 3)")
        ->check(CLI::PositiveNumber);
    run->callback([options, &status] { status = runScenario(*options); });
}

}  // namespace kestrom_sim
