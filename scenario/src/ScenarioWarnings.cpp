// Scenario warnings. What a row means is asked of the channel's own reading (channelRow) and
// of the model (the thruster addThrusterRow builds), so the texts follow those rules.
#include "scenario/ScenarioWarnings.h"

#include <cmath>
#include <cstdint>
#include <iostream>
#include <optional>

#include "allocation/ThrusterRow.h"
#include "allocation/ThrusterType.h"
#include "allocation/Thrusterobj.h"
#include "allocation/angles.h"
#include "allocation/solveAllocation.h"
#include "optimal/OptimalAllocator.h"
#include "scenario/ChannelRows.h"
#include "scenario/JsonInput.h"
#include "scenario/NumberText.h"
#include "scenario/ScenarioTable.h"

namespace kestrom_sim {

namespace {

// Beyond this many thrusters that barring may search, a request can cost 12^k solves.
constexpr int kBarringWarningFrom = 5;
// Trial directions per barred thruster in the exhaustive search.
constexpr double kTrialsPerBarredThruster = 12.0;

struct Warnings {
    const std::string& file;
    std::vector<std::string> lines;
    void add(const std::string& key, const std::string& problem) {
        lines.push_back(inputMessage(file, key, problem));
    }
};

std::string rowKey(std::size_t row, const char* column = nullptr) {
    const std::string key = "rows[" + std::to_string(row) + "]";
    return column == nullptr ? key : key + "." + column;
}

// The thruster the channel builds from these cells, or the model's reason for refusing it.
struct ModelThruster {
    std::optional<Thrusterobj> thruster;
    std::string refusal;
};

ModelThruster modelThruster(const ThrusterRow& cells) {
    Shipobj ship;
    std::vector<double> barredAngles(1, kFreeDirection);
    try {
        addThrusterRow(0, cells, ship, barredAngles);
    } catch (const std::exception& error) {
        return {std::nullopt, error.what()};
    }
    return {ship.getThruster(0), ""};
}

// Whether neither the thruster nor its reverse can point at right angles to the centre of
// its range: then some thrust direction leaves it outside its range, and barring searches it.
bool canBeBarred(const Thrusterobj& thruster) {
    return hasRotationLimit(thruster.type()) &&
           !thruster.canPointAlong(wrapMod(thruster.startAngle() + kHalfPi, kTwoPi));
}

std::string wholeNumberProblem(double value, int read) {
    return roundTripText(value) + " is not a whole number: the channel reads " +
           std::to_string(read);
}

// What the channel makes of a column whose link is unconnected; cells is a row read so.
std::string missingColumnMeaning(Column column, const ThrusterRow& cells) {
    switch (column) {
        case Column::force:
            return "every row reads force " + floatText(cells.force);
        case Column::angle:
            return "every row reads angle " + floatText(cells.angle);
        case Column::position:
            return "every row reads position [0, 0, 0]: every thruster sits at the reference "
                   "point and none gives a moment";
        case Column::type:
            return "every row reads type " + std::to_string(cells.type) +
                   (hasFixedDirection(cells.type) ? ": a fixed direction along its startAngle"
                                                  : "");
        case Column::active:
            return "every row reads " + std::to_string(cells.active) +
                   (isActiveRow(cells.active) ? "" : " and is inactive: nothing is allocated");
        case Column::maxForce:
            return "every row reads maxForce " + floatText(cells.maxForce) +
                   ": no thruster can give thrust";
        case Column::reversePenalty:
            break;
        case Column::startAngle:
            return "every row reads startAngle " + floatText(cells.startAngle);
        case Column::maxRotation: {
            ThrusterRow turning = cells;
            turning.type = kLimitedRotation;
            const ModelThruster model = modelThruster(turning);
            return "every row reads no limit: the model gives a rotation range of +-" +
                   roundTripText(model.thruster ? model.thruster->maxRotation() : 0.0) +
                   (model.thruster && !canBeBarred(*model.thruster)
                        ? ", so every thruster may point anywhere"
                        : "");
        }
    }
    const ModelThruster model = modelThruster(cells);
    return "every row reads reversePenalty " + floatText(cells.reversePenalty) +
           (model.thruster
                ? ", which the model takes as " + roundTripText(model.thruster->reversePenalty())
                : "");
}

void warnMissingColumns(const Scenario& scenario, Warnings& warnings) {
    const ThrusterRow cells = channelRow(scenario, 0);
    for (int c = 0; c < kColumnCount; ++c) {
        const Column column = static_cast<Column>(c);
        if (!scenario.has(column)) {
            warnings.add("rows", std::string("\"") + columnKey(column) +
                                     "\" missing from every row: its link stays unconnected "
                                     "and " +
                                     missingColumnMeaning(column, cells));
        }
    }
}

void warnAngle(const Scenario& scenario, std::size_t row, Column column, Warnings& warnings) {
    const double value = cell(scenario.rows[row], column, 0);
    if (scenario.has(column) && std::fabs(value) > kTwoPi) {
        warnings.add(rowKey(row, columnKey(column)),
                     roundTripText(value) + (value > 0 ? " is above 2pi" : " is below -2pi") +
                         ": radians expected: degrees?");
    }
}

// The default allocator's minimiser handles a reverse penalty other than 1 badly.
void warnReversePenaltyRamp(const Thrusterobj& thruster, const ThrusterRow& cells, std::size_t row,
                            Warnings& warnings) {
    const double penalty = thruster.reversePenalty();
    // Barring fixes such a row's direction too, and then the same ramp applies.
    const bool fixable = hasFixedDirection(cells.type) || canBeBarred(thruster);
    if (!fixable || penalty == 1.0) {
        return;
    }
    const std::string readAs = penalty == static_cast<double>(cells.reversePenalty)
                                   ? std::string()
                                   : " (read as " + roundTripText(penalty) + ")";
    warnings.add(
        rowKey(row, "reversePenalty"),
        std::string(hasFixedDirection(cells.type) ? "a fixed-direction thruster"
                                                  : "a thruster whose direction barring can fix") +
            " with a reverse penalty of " + floatText(cells.reversePenalty) + readAs +
            (penalty < 1.0 ? ", below 1: when it runs in reverse with more than a few newtons "
                             "the minimiser goes astray, and the published table misses the "
                             "demand badly with \"No errors\" (rarely: NaN)"
                           : ", above 1: the minimiser can diverge for forces above a few "
                             "newtons, and the published forces may be NaN while \"Thrust "
                             "Generated\" stays finite, with \"No errors\""));
}

// A row the optimal allocator cannot price shuts its channel down at the first request.
void warnOptimalRefusal(const Thrusterobj& thruster, std::size_t row, Warnings& warnings) {
    const std::string refusal = optimal::rowRefusal(thruster);
    if (!refusal.empty()) {
        warnings.add(rowKey(row), "the optimal allocator refuses it (" + refusal +
                                      "): the channel shuts down at the first request");
    }
}

// The warnings on one row's own cells.
void warnRow(const Scenario& scenario, std::size_t row, AllocatorKind allocator,
             Warnings& warnings) {
    const double givenMaxForce = cell(scenario.rows[row], Column::maxForce);
    const double givenType = cell(scenario.rows[row], Column::type);
    const ThrusterRow cells = channelRow(scenario, row);
    const ModelThruster model = modelThruster(cells);
    const bool active = isActiveRow(cells.active);
    for (const Column column : {Column::angle, Column::startAngle, Column::maxRotation}) {
        warnAngle(scenario, row, column, warnings);
    }
    if (active && !model.thruster) {
        warnings.add(rowKey(row), "the thruster model rejects it (" + model.refusal +
                                      "): the channel shuts down while reading it");
    }
    if (scenario.has(Column::maxForce) && givenMaxForce < 0.0) {
        warnings.add(
            rowKey(row, "maxForce"),
            "negative maximum force" +
                (model.thruster ? ": the model takes " + roundTripText(model.thruster->maxForce())
                                : std::string()));
    }
    if (scenario.has(Column::type) && givenType != std::floor(givenType)) {
        warnings.add(rowKey(row, "type"), wholeNumberProblem(givenType, cells.type));
    }
    if (!active || !model.thruster) {
        return;
    }
    if (allocator == AllocatorKind::optimal) {
        warnOptimalRefusal(*model.thruster, row, warnings);
    } else {
        warnReversePenaltyRamp(*model.thruster, cells, row, warnings);
    }
}

std::string barringCost(std::size_t k) {
    const double solves = std::pow(kTrialsPerBarredThruster, static_cast<double>(k));
    // Exact while it fits a 64-bit integer; beyond that a rounded power of ten says enough.
    return solves < 1e18 ? std::to_string(static_cast<std::uint64_t>(solves))
                         : "about 1e" + std::to_string(static_cast<int>(std::log10(solves)));
}

// The rows barring may search: active rows of limited rotation that can end outside their
// ranges.
std::vector<std::size_t> barrableRows(const Scenario& scenario) {
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < scenario.rows.size(); ++row) {
        const ThrusterRow cells = channelRow(scenario, row);
        const ModelThruster model = modelThruster(cells);
        if (isActiveRow(cells.active) && model.thruster && canBeBarred(*model.thruster)) {
            rows.push_back(row);
        }
    }
    return rows;
}

}  // namespace

std::vector<std::string> scenarioWarnings(const Scenario& scenario, const std::string& file,
                                          AllocatorKind allocator) {
    Warnings warnings{file, {}};
    if (scenario.rows.empty()) {
        return warnings.lines;
    }
    warnMissingColumns(scenario, warnings);
    for (std::size_t row = 0; row < scenario.rows.size(); ++row) {
        warnRow(scenario, row, allocator, warnings);
    }
    if (scenario.actionInExtrema &&
        *scenario.actionInExtrema != std::floor(*scenario.actionInExtrema)) {
        warnings.add("actionInExtrema",
                     wholeNumberProblem(*scenario.actionInExtrema,
                                        tableRequest(scenario, Demand{}).actionInExtrema));
    }
    return warnings.lines;
}

std::optional<std::string> barringWarning(const Scenario& scenario, const std::string& file,
                                          AllocatorKind allocator) {
    const std::vector<std::size_t> barrable = barrableRows(scenario);
    if (allocator == AllocatorKind::optimal ||
        barrable.size() < static_cast<std::size_t>(kBarringWarningFrom)) {
        return std::nullopt;
    }
    std::string rows;
    for (const std::size_t row : barrable) {
        rows += (rows.empty() ? "" : ", ") + std::to_string(row);
    }
    return inputMessage(file, "rows",
                        std::to_string(barrable.size()) +
                            " active rows of limited rotation can end outside their ranges (" +
                            rows + "): when all do, barring searches them exhaustively, 12^" +
                            std::to_string(barrable.size()) + " = " + barringCost(barrable.size()) +
                            " solves for one request");
}

void printScenarioWarnings(const Scenario& scenario, const std::string& file,
                           AllocatorKind allocator) {
    std::vector<std::string> lines = scenarioWarnings(scenario, file, allocator);
    if (const std::optional<std::string> barring = barringWarning(scenario, file, allocator)) {
        lines.push_back(*barring);
    }
    for (const std::string& line : lines) {
        std::cerr << "kestrom-sim: warning: " << line << '\n';
    }
}

}  // namespace kestrom_sim
