// Scenario reading: every value checked, every problem named by its key.
#include "scenario/Scenario.h"

namespace kestrom_sim {

namespace {

constexpr const char* kColumnKeys[kColumnCount] = {"force",          "angle",      "position",
                                                   "type",           "active",     "maxForce",
                                                   "reversePenalty", "startAngle", "maxRotation"};

ScenarioRow parseRow(const JsonField& field) {
    field.expectOnlyKeys({"force", "angle", "position", "type", "active", "maxForce",
                          "reversePenalty", "startAngle", "maxRotation"});
    ScenarioRow row{};
    for (int c = 0; c < kColumnCount; ++c) {
        const Column column = static_cast<Column>(c);
        if (!field.has(kColumnKeys[c])) {
            continue;
        }
        const JsonField value = field.at(kColumnKeys[c]);
        if (column == Column::position) {
            if (value.arraySize() != 3) {
                value.fail("expected 3 numbers [sideways, vertical, forward]");
            }
            for (int k = 0; k < 3; ++k) {
                cell(row, column, k) = value.at(static_cast<std::size_t>(k)).singleRangeNumber();
            }
        } else {
            cell(row, column) = value.singleRangeNumber();
        }
    }
    return row;
}

}  // namespace

Demand parseDemand(const JsonField& field) {
    if (field.arraySize() != 3) {
        field.fail("expected 3 numbers [fwd, swd, rot]");
    }
    return {field.at(std::size_t{0}).singleRangeNumber(), field.at(1).singleRangeNumber(),
            field.at(2).singleRangeNumber()};
}

const char* columnKey(Column column) {
    return kColumnKeys[static_cast<int>(column)];
}

Scenario parseScenario(const JsonField& document, const std::string& defaultName,
                       bool demandsRequired) {
    if (!document.has("rows") && (document.has("thrusters") || document.has("demand"))) {
        document.fail("this looks like a solve problem (it has \"" +
                      std::string(document.has("thrusters") ? "thrusters" : "demand") +
                      "\"): use kestrom-sim solve");
    }
    document.expectOnlyKeys(
        {"name", "source", "description", "rows", "demands", "actionInExtrema"});
    Scenario scenario;
    scenario.name = document.has("name") ? document.at("name").text() : defaultName;
    if (document.has("source")) {
        document.at("source").text();
    }
    if (document.has("description")) {
        document.at("description").text();
    }

    const JsonField rows = document.at("rows");
    const std::size_t rowCount = rows.arraySize();
    if (rowCount < 2) {
        rows.fail("expected at least 2 rows, got " + std::to_string(rowCount) +
                  " (the channel computes nothing for fewer)");
    }
    if (rowCount > kMaxRows) {
        rows.fail("expected at most " + std::to_string(kMaxRows) + " rows, got " +
                  std::to_string(rowCount));
    }
    for (std::size_t i = 0; i < rowCount; ++i) {
        scenario.rows.push_back(parseRow(rows.at(i)));
    }
    // A column is connected only when every row gives it; a gap would silently read 0.
    for (int c = 0; c < kColumnCount; ++c) {
        const bool inFirst = rows.at(std::size_t{0}).has(kColumnKeys[c]);
        for (std::size_t i = 1; i < rowCount; ++i) {
            if (rows.at(i).has(kColumnKeys[c]) != inFirst) {
                const std::size_t without = inFirst ? i : 0;
                const std::size_t with = inFirst ? 0 : i;
                rows.at(without).fail(std::string("\"") + kColumnKeys[c] + "\" missing, but row " +
                                      std::to_string(with) +
                                      " gives it (give it in every row or in none)");
            }
        }
        scenario.hasColumn[c] = inFirst;
    }

    if (document.has("demands") || demandsRequired) {
        const JsonField demands = document.at("demands");
        const std::size_t demandCount = demands.arraySize();
        if (demandCount == 0) {
            demands.fail("expected at least one demand [fwd, swd, rot]");
        }
        for (std::size_t i = 0; i < demandCount; ++i) {
            scenario.demands.push_back(parseDemand(demands.at(i)));
        }
    }
    if (document.has("actionInExtrema")) {
        scenario.actionInExtrema = document.at("actionInExtrema").singleRangeNumber();
    }
    return scenario;
}

}  // namespace kestrom_sim
