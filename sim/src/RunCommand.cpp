// `kestrom-sim run [SCENARIO]`: a host for the plug-in. It loads the plug-in, builds the
// scene of a vessel, feeds it one demand after the other and shows what the channel
// published: as tables, JSON Lines, a CSV series and an SVG picture.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "Commands.h"
#include "CsvSeries.h"
#include "OptionChecks.h"
#include "OutputFile.h"
#include "PluginLoader.h"
#include "Scene.h"
#include "SvgPicture.h"
#include "Terminal.h"
#include "host/EngineInterface.h"
#include "scenario/ChannelRows.h"
#include "scenario/DefaultVessel.h"
#include "scenario/JsonInput.h"
#include "scenario/NumberText.h"
#include "scenario/RequestReport.h"
#include "scenario/Scenario.h"
#include "scenario/ScenarioWarnings.h"
#include "scenario/TruePi.h"

namespace kestrom_sim {

namespace {

constexpr double kDegreesPerRadian = 180.0 / kTruePi;
// A series at least this long shows a progress bar when standard error is a terminal.
constexpr std::size_t kProgressFrom = 20;

struct RunOptions {
    std::string scenarioPath;
    std::string pluginPath;
    std::string allocator = "default";
    bool json = false;
    std::string svgPath;
    bool svgAll = false;
    std::string demandsPath;
    std::string csvPath;
    double timeoutSeconds = 30.0;
    double tolerance = kDefaultVerdictTolerance;
    bool failOnMiss = false;
    std::string logDir;
};

// A request's result with the tool's report on its table.
struct Reported {
    const RequestResult& result;
    const RequestReport& report;
};

RequestReport reportOn(const Scenario& scenario, const RequestResult& r, double tolerance) {
    std::vector<PublishedCells> cells;
    for (const PublishedCells& row : r.rows) {
        cells.push_back({row.force, row.angle});
    }
    return reportRequest(channelRows(scenario), cells, r.demand, r.outputs.thrustGenerated,
                         tolerance);
}

bool publishedSomething(const RequestResult& r) {
    return r.end == RequestEnd::published;
}

// A request counts as met when its table's thrust meets the demand and no shutdown happened.
bool requestMet(const Reported& x) {
    return x.report.verdict.met && x.result.shutdowns.empty();
}

std::string rowList(const std::vector<int>& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(rows[i]);
    }
    return text;
}

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
    bool notFinite = !std::isfinite(r.outputs.energy) ||
                     !std::isfinite(r.outputs.activeThrusters) || !std::isfinite(r.outputs.error);
    for (const float value : r.outputs.thrustGenerated) {
        notFinite = notFinite || !std::isfinite(value);
    }
    for (const PublishedCells& row : r.rows) {
        notFinite = notFinite || !std::isfinite(row.force) || !std::isfinite(row.angle);
    }
    return notFinite;
}

const char* jsonBool(bool value) {
    return value ? "true" : "false";
}

std::string jsonTriple(double a, double b, double c) {
    return "[" + publishedJson(a) + "," + publishedJson(b) + "," + publishedJson(c) + "]";
}

std::string jsonRows(const std::vector<PublishedCells>& rows) {
    std::ostringstream out;
    out << '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out << (i > 0 ? "," : "") << "{\"force\":" << publishedJson(rows[i].force)
            << ",\"angle\":" << publishedJson(rows[i].angle) << '}';
    }
    out << ']';
    return out.str();
}

std::string jsonLine(const Reported& x) {
    const RequestResult& r = x.result;
    const RequestReport& report = x.report;
    std::ostringstream out;
    out << "{\"demand\":[" << publishedJson(r.demand[0]) << ',' << publishedJson(r.demand[1]) << ','
        << publishedJson(r.demand[2]) << "],\"started\":" << (r.started ? "true" : "false")
        << ",\"rows\":[";
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        out << (i > 0 ? "," : "") << "{\"force\":" << publishedJson(r.rows[i].force)
            << ",\"angle\":" << publishedJson(r.rows[i].angle) << '}';
    }
    out << "],\"thrustGenerated\":[" << publishedJson(r.outputs.thrustGenerated[0]) << ','
        << publishedJson(r.outputs.thrustGenerated[1]) << ','
        << publishedJson(r.outputs.thrustGenerated[2])
        << "],\"energy\":" << publishedJson(r.outputs.energy)
        << ",\"activeThrusters\":" << publishedJson(r.outputs.activeThrusters)
        << ",\"errorMessage\":" << jsonString(r.outputs.errorMessage)
        << ",\"error\":" << publishedJson(r.outputs.error);
    const forceMom& table = report.tableThrust;
    const forceMom& shortfall = report.verdict.shortfall;
    const auto& opposite = report.verdict.opposite;
    out << ",\"tableThrust\":" << jsonTriple(table.fwd, table.swd, table.rot)
        << ",\"met\":" << jsonBool(report.verdict.met)
        << ",\"shortfall\":" << jsonTriple(shortfall.fwd, shortfall.swd, shortfall.rot)
        << ",\"opposite\":[" << jsonBool(opposite[0]) << ',' << jsonBool(opposite[1]) << ','
        << jsonBool(opposite[2]) << ']'
        << ",\"tableMatchesGenerated\":" << jsonBool(report.tableMatchesGenerated)
        << ",\"zeroRows\":[" << rowList(report.zeroRows) << "],\"shutdowns\":[";
    for (std::size_t i = 0; i < r.shutdowns.size(); ++i) {
        out << (i > 0 ? "," : "") << "{\"errorMessage\":" << jsonString(r.shutdowns[i].message)
            << ",\"rows\":" << jsonRows(r.shutdowns[i].rows) << '}';
    }
    out << "],\"publishedRows\":[" << rowList(r.publishedRows) << ']'
        << ",\"seconds\":" << roundTripText(r.seconds) << '}';
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

void printShutdowns(std::ostream& out, const RequestResult& r) {
    for (const RequestResult::Shutdown& shutdown : r.shutdowns) {
        std::size_t zero = 0;
        for (const PublishedCells& row : shutdown.rows) {
            zero += row.force == 0.0f ? 1 : 0;
        }
        out << "  SHUT DOWN during this request; the table then held force 0 in " << zero << " of "
            << shutdown.rows.size() << " rows. Error Message then:\n    "
            << shutdown.message.substr(shutdown.message.rfind('\n') + 1) << '\n';
    }
    if (!r.shutdowns.empty() && r.end == RequestEnd::published) {
        out << "  After the shutdown the channel went on and published a computation (\"No "
               "errors\")"
               " on rows "
            << rowList(r.publishedRows) << " only; the other rows keep the shutdown's 0.\n";
    }
}

void printVerdict(std::ostream& out, const Reported& x, double tolerance) {
    const RequestReport& report = x.report;
    const char* names[3] = {"fwd", "swd", "rot"};
    const char* units[3] = {"N", "N", "N m"};
    out << "  What the vessel gets (the tool's verdict on the published table):\n";
    if (!report.tableMatchesGenerated) {
        out << "   The table's thrust differs from \"Thrust Generated\"";
        if (report.zeroRows.empty()) {
            out << ".\n";
        } else {
            out << ": row" << (report.zeroRows.size() > 1 ? "s " : " ") << rowList(report.zeroRows)
                << " pointed outside the rotation range, so the channel wrote force 0 into the "
                   "table, while \"Thrust Generated\" still counts that thrust.\n";
        }
    }
    const forceMom& s = report.verdict.shortfall;
    const double shortfall[3] = {s.fwd, s.swd, s.rot};
    if (report.verdict.met) {
        out << "   Met: the table's thrust is within " << roundTripText(100.0 * tolerance)
            << " % of the demand"
            << (x.result.shutdowns.empty()
                    ? ".\n"
                    : ", but after an error shutdown: not counted as met.\n");
    } else {
        out << "   MISSED: the table's thrust falls short by";
        const char* separator = " ";
        for (std::size_t k = 0; k < 3; ++k) {
            if (report.verdict.missed[k]) {
                out << separator << names[k] << ' ' << quantityText(shortfall[k], units[k]);
                separator = ", ";
            }
        }
        out << " (tolerance " << roundTripText(100.0 * tolerance) << " %).\n";
    }
    for (std::size_t k = 0; k < 3; ++k) {
        if (report.verdict.opposite[k]) {
            out << "   Opposite: the table pushes " << names[k] << " against the demand's sign.\n";
        }
    }
}

void printHuman(std::ostream& out, const Scenario& scenario, const Reported& x, std::size_t number,
                std::size_t count, double tolerance) {
    const RequestResult& r = x.result;
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
        const double type = cell(scenario.rows[i], Column::type);
        const double maxForce = cell(scenario.rows[i], Column::maxForce);
        const bool active = rowIsActive(scenario, i);
        const float force = r.rows[i].force;
        out << formatted("%6.0f", static_cast<double>(i))
            << padded(scenario.has(Column::type) ? roundTripText(type) : "-", 6)
            << padded(floatText(force), 16) << padded(floatText(r.rows[i].angle), 16)
            << formatted("%11.2f", displayDegrees(r.rows[i].angle));
        if (scenario.has(Column::maxForce)) {
            out << padded(roundTripText(maxForce), 16);
            out << (maxForce != 0.0
                        ? formatted("%8.1f", 100.0 * std::fabs(static_cast<double>(force)) /
                                                 std::fabs(maxForce))
                        : "       -");
        } else {
            out << padded("-", 16) << "       -";
        }
        out << (active ? "" : "  (inactive)") << '\n';
    }
    const char* names[3] = {"fwd", "swd", "rot"};
    const double table[3] = {x.report.tableThrust.fwd, x.report.tableThrust.swd,
                             x.report.tableThrust.rot};
    out << "                    demanded           generated         table's thrust\n";
    for (std::size_t k = 0; k < 3; ++k) {
        out << "   " << names[k] << padded(roundTripText(r.demand[k]), 22)
            << padded(floatText(r.outputs.thrustGenerated[k]), 20)
            << padded(roundTripText(table[k]), 23) << '\n';
    }
    out << "   energy" << padded(floatText(r.outputs.energy), 36) << '\n'
        << "   active thrusters" << padded(floatText(r.outputs.activeThrusters), 26) << '\n'
        << "   time" << formatted("%38.3f", 1000.0 * r.seconds) << " ms\n"
        << "  The plug-in's own report (\"No errors\" whatever the table gives):\n"
        << "   Error Message: " << r.outputs.errorMessage << '\n'
        << "   Error?" << padded(floatText(r.outputs.error), 36) << '\n';
    printShutdowns(out, r);
    if (publishedSomething(r) || r.end == RequestEnd::notStarted || !r.shutdowns.empty()) {
        printVerdict(out, x, tolerance);
    }
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
    // The system's separators: '/' everywhere, '\\' too on Windows.
    std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

class ProgressBar {
  public:
    explicit ProgressBar(std::size_t total)
        : total_(total), shown_(total >= kProgressFrom && standardErrorIsTerminal()) {}
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

void checkOutputPaths(const RunOptions& options) {
    if (!options.svgPath.empty()) {
        checkOutputPath(options.svgAll ? numberedPath(options.svgPath, 1) : options.svgPath,
                        "--svg");
    }
    if (!options.csvPath.empty()) {
        checkOutputPath(options.csvPath, "--csv");
    }
}

// The plug-in writes its log files into the process's working directory: with --log-dir the
// tool moves there before loading it, keeping every path the user gave as given.
void enterLogDirectory(RunOptions& options, std::string& pluginPath) {
    if (options.logDir.empty()) {
        return;
    }
    for (std::string* path : {&pluginPath, &options.svgPath}) {
        if (!path->empty()) {
            *path = std::filesystem::absolute(*path).string();
        }
    }
    std::error_code failure;
    std::filesystem::current_path(options.logDir, failure);
    if (failure) {
        throw InputError(options.logDir, "", "cannot be entered: " + failure.message());
    }
}

int runScenario(RunOptions options) {
    std::string pluginPath = options.pluginPath.empty()
                                 ? pluginPathFor(*allocatorNamed(options.allocator))
                                 : options.pluginPath;
    Scenario scenario;
    std::unique_ptr<CsvResultWriter> csv;
    std::unique_ptr<Plugin> plugin;
    std::unique_ptr<Scene> scene;
    try {
        checkOutputPaths(options);
        scenario = loadScenario(options);
        if (!options.csvPath.empty()) {
            csv = std::make_unique<CsvResultWriter>(options.csvPath, scenario.rows.size());
        }
        enterLogDirectory(options, pluginPath);
        plugin = std::make_unique<Plugin>(pluginPath);
        scene = std::make_unique<Scene>(plugin->createChannel(), scenario, pluginPath);
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    }
    printScenarioWarnings(
        scenario,
        options.scenarioPath.empty() ? kDefaultVesselSource : inputName(options.scenarioPath),
        *allocatorNamed(options.allocator));
    showWarnings(nullptr);
    if (!options.json) {
        std::cout << scenario.name << ": " << scenario.rows.size() << " thrusters, plug-in \""
                  << plugin->typeName() << "\" (" << pluginPath
                  << ")\nThe plug-in's log files: " << std::filesystem::current_path().string()
                  << '\n';
    }

    const std::size_t count = scenario.demands.size();
    ProgressBar progress(count);
    std::optional<RequestResult> last;
    std::size_t notFinite = 0;
    std::size_t met = 0;
    std::size_t shutDown = 0;
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
            const RequestReport report = reportOn(scenario, result, options.tolerance);
            const Reported reported{result, report};
            if (options.json) {
                std::cout << jsonLine(reported) << '\n';
            } else {
                printHuman(std::cout, scenario, reported, n, count, options.tolerance);
            }
            if (csv) {
                csv->write(n, result, report);
            }
            if (!options.svgPath.empty() && options.svgAll) {
                writeTextFile(numberedPath(options.svgPath, n),
                              svgPicture(scenario, result, report, n, count));
            }
            notFinite += publishedNotFinite(result) ? 1 : 0;
            met += requestMet(reported) ? 1 : 0;
            shutDown += result.shutdowns.empty() ? 0 : 1;
            progress.update(n);
            last = std::move(result);
        }
        if (!options.svgPath.empty() && !options.svgAll && last) {
            writeTextFile(options.svgPath,
                          svgPicture(scenario, *last, reportOn(scenario, *last, options.tolerance),
                                     count, count));
        }
    } catch (const InputError& e) {
        std::cerr << "kestrom-sim: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        // The channel catches its own failures; one that escapes is the plug-in's fault.
        std::cerr << "kestrom-sim: " << pluginPath << ": the channel failed: " << e.what() << '\n';
        return 1;
    }
    if (!options.json) {
        std::cout << '\n' << met << " of " << count << " requests met\n";
    }
    std::cout.flush();
    if (shutDown > 0) {
        std::cerr << "kestrom-sim: " << shutDown << " of " << count
                  << " requests had an error shutdown\n";
        return 5;
    }
    if (notFinite > 0) {
        std::cerr << "kestrom-sim: " << notFinite << " of " << count
                  << " requests published a value that is not a finite number\n";
        return 4;
    }
    if (options.failOnMiss && met < count) {
        std::cerr << "kestrom-sim: " << count - met << " of " << count
                  << " requests missed the demand\n";
        return 6;
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
    CLI::Option* plugin =
        run->add_option("--plugin", options->pluginPath,
                        "plug-in library to load (default: the one built with the tool)");
    run->add_option("--allocator", options->allocator,
                    "channel type to load: default (the Kestrom plug-in) or optimal (the "
                    "KestromOptimal plug-in)")
        ->check(CLI::IsMember({"default", "optimal"}))
        ->excludes(plugin);
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
        ->check(numberIn(1e-3, 1e6));
    run->add_option("--tolerance", options->tolerance,
                    "share of the demand's scale by which the table's thrust may miss each "
                    "component and still meet it (default 0.01)")
        ->check(numberIn(0.0, 1.0));
    run->add_flag("--fail-on-miss", options->failOnMiss,
                  "exit with status 6 when a request's table misses its demand");
    run->add_option("--log-dir", options->logDir,
                    "directory where the plug-in writes its log files (it writes them into its "
                    "working directory; default: the current one)")
        ->check(CLI::ExistingDirectory);
    run->callback([options, &status] { status = runScenario(*options); });
}

}  // namespace kestrom_sim
