// The channel's answer computed directly (tableRequest, then allocateTable) against the real
// plug-in run through the host by `kestrom-sim run`: bit for bit, as floats, on every example.
#include <filesystem>

#include <nlohmann/json.hpp>

#include "RunToolProcess.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"
#include "scenario/ScenarioTable.h"

namespace {

using nlohmann::json;
using namespace kestrom_sim;

class ScenarioTable : public SimTool {};

float asFloat(const json& value) {
    return static_cast<float>(value.get<double>());
}

// Each request of a run starts from the table the previous one left, so the scenario's force
// and angle cells follow the published table from request to request.
// Gives the number of requests compared.
int expectSameAsPlugin(Scenario scenario, const std::vector<json>& results) {
    allocProblem problem;
    int compared = 0;
    EXPECT_EQ(results.size(), scenario.demands.size());
    for (std::size_t n = 0; n < results.size() && n < scenario.demands.size(); ++n) {
        const json& result = results[n];
        SCOPED_TRACE(scenario.name + ", request " + std::to_string(n + 1));
        if (result["started"].get<bool>()) {
            ++compared;
            const TableOutcome outcome =
                allocateTable(tableRequest(scenario, scenario.demands[n]), problem);
            for (const PublishedRow& row : outcome.published) {
                const json& cells = result["rows"][static_cast<std::size_t>(row.row)];
                EXPECT_EQ(row.force, asFloat(cells["force"])) << "row " << row.row;
                EXPECT_EQ(row.angle, asFloat(cells["angle"])) << "row " << row.row;
            }
            EXPECT_EQ(static_cast<float>(outcome.generated.fwd),
                      asFloat(result["thrustGenerated"][0]));
            EXPECT_EQ(static_cast<float>(outcome.generated.swd),
                      asFloat(result["thrustGenerated"][1]));
            EXPECT_EQ(static_cast<float>(outcome.generated.rot),
                      asFloat(result["thrustGenerated"][2]));
            EXPECT_EQ(static_cast<float>(outcome.generated.extra), asFloat(result["energy"]));
            EXPECT_EQ(outcome.shutdown.empty(), result["error"].get<double>() == 0.0);
        }
        for (std::size_t i = 0; i < scenario.rows.size(); ++i) {
            cell(scenario.rows[i], Column::force) = result["rows"][i]["force"].get<double>();
            cell(scenario.rows[i], Column::angle) = result["rows"][i]["angle"].get<double>();
        }
    }
    return compared;
}

TEST_F(ScenarioTable, AllocatingTheTableGivesWhatThePluginPublishesOnEveryExample) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTROM_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        const std::string path = entry.path().string();
        const json document = readJsonFile(path);
        const Scenario scenario = parseScenario(JsonField(document, path), path, true);
        EXPECT_GT(expectSameAsPlugin(scenario, results({path})), 0) << path;
        ++examples;
    }
    EXPECT_GE(examples, 4);
}

}  // namespace
