// Scenario warnings: each problem of meaning named once on its row or key, with what the channel
// makes of it; a clean scenario (free azimuths of type 2 among them) gives none.
#include <functional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "RunToolProcess.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"
#include "scenario/ScenarioWarnings.h"

namespace {

using nlohmann::json;
using namespace kestrom_sim;

// Five free azimuths (type 2, but a half range of pi never leaves a direction out): clean.
json cleanScenario() {
    json rows = json::array();
    for (int i = 0; i < 5; ++i)
        rows.push_back(scenarioRow(i, 10 - i));
    return {{"rows", rows}, {"actionInExtrema", 4}};
}

void eraseColumn(json& s, const char* key) {
    for (json& row : s["rows"])
        row.erase(key);
}

TEST(ScenarioWarnings, EachProblemIsNamedOnceAndACleanScenarioHasNone) {
    const struct {
        std::function<void(json&)> change;
        std::vector<std::string> expected;  // one substring per warning, in order
    } cases[] = {
        {[](json&) {}, {}},
        {[](json& s) { s["rows"][1]["angle"] = 90; },
         {"rows[1].angle: 90 is above 2pi: radians expected: degrees?"}},
        {[](json& s) { s["rows"][0]["startAngle"] = -180; },
         {"rows[0].startAngle: -180 is below -2pi: radians expected: degrees?"}},
        // Active, the model rejects the row; inactive, the channel never reads it.
        {[](json& s) {
             s["rows"][1]["maxRotation"] = 45;
             s["rows"][2]["maxRotation"] = 45;
             s["rows"][2]["active"] = 0;
         },
         {"rows[1].maxRotation: 45 is above 2pi",
          "rows[1]: the thruster model rejects it (Error in Class:Thrusterobj Function:MaxRotation."
          " Incorrect input value.): the channel shuts down while reading it",
          "rows[2].maxRotation: 45 is above 2pi"}},
        // 2pi itself becomes a float above the model's bound.
        {[](json& s) { s["rows"][3]["maxRotation"] = 6.28318530717; },
         {"rows[3]: the thruster model rejects it"}},
        {[](json& s) { s["rows"][4]["maxForce"] = -500; },
         {"rows[4].maxForce: negative maximum force: the model takes 500"}},
        {[](json& s) { s["rows"][0]["type"] = 2.5; },
         {"rows[0].type: 2.5 is not a whole number: the channel reads 2"}},
        {[](json& s) { s["actionInExtrema"] = 7.9; },
         {"actionInExtrema: 7.9 is not a whole number: the channel reads 7"}},
        {[](json& s) { eraseColumn(s, "active"); },
         {"rows: \"active\" missing from every row: its link stays unconnected and every row "
          "reads 0 and is inactive"}},
        {[](json& s) { eraseColumn(s, "maxRotation"); },
         {"rows: \"maxRotation\" missing from every row: its link stays unconnected and every "
          "row reads no limit: the model gives a rotation range of +-3.14159265358, so every "
          "thruster may point anywhere"}},
        {[](json& s) { eraseColumn(s, "reversePenalty"); },
         {"every row reads reversePenalty 0, which the model takes as 0.1"}},
        // Without a type every row is a fixed direction, so each defaulted penalty warns too.
        {[](json& s) {
             eraseColumn(s, "type");
             for (json& row : s["rows"])
                 row["reversePenalty"] = 0.5;
             s["rows"][0]["active"] = 0;
         },
         {"rows: \"type\" missing from every row: its link stays unconnected and every row reads "
          "type 1: a fixed direction along its startAngle",
          "rows[1].reversePenalty: a fixed-direction thruster with a reverse penalty of 0.5, below "
          "1: when it runs in reverse with more than a few newtons the minimiser goes astray",
          "rows[2].reversePenalty", "rows[3].reversePenalty", "rows[4].reversePenalty"}},
        // Above 1 the ramp turns negative: NaN forces under a finite "Thrust Generated".
        // A row that barring can fix (a range of +-0.5 rad) is warned as a fixed one; a free
        // azimuth is not.
        {[](json& s) {
             s["rows"][0]["type"] = 1;
             s["rows"][0]["reversePenalty"] = 10;
             s["rows"][1]["maxRotation"] = 0.5;
             s["rows"][1]["reversePenalty"] = 10;
             s["rows"][2]["reversePenalty"] = 10;
         },
         {"rows[0].reversePenalty: a fixed-direction thruster with a reverse penalty of 10, above "
          "1: the minimiser can diverge",
          "rows[1].reversePenalty: a thruster whose direction barring can fix with a reverse "
          "penalty of 10, above 1"}},
        {[](json& s) { eraseColumn(s, "position"); }, {"every row reads position [0, 0, 0]"}},
        // Five ranges of +-0.5 rad can each leave a thrust direction out; a sixth is inactive.
        {[](json& s) {
             for (json& row : s["rows"])
                 row["maxRotation"] = 0.5;
             json inactive = s["rows"][0];
             inactive["active"] = 0;
             s["rows"].push_back(inactive);
         },
         {"rows: 5 active rows of limited rotation can end outside their ranges (0, 1, 2, 3, 4): "
          "when all do, barring searches them exhaustively, 12^5 = 248832 solves for one "
          "request"}},
    };
    for (const auto& c : cases) {
        json document = cleanScenario();
        c.change(document);
        SCOPED_TRACE(document.dump());
        const Scenario scenario = parseScenario(JsonField(document, "s.json"), "s", false);
        std::vector<std::string> warnings =
            scenarioWarnings(scenario, "s.json", AllocatorKind::standard);
        if (auto barring = barringWarning(scenario, "s.json", AllocatorKind::standard)) {
            warnings.push_back(*barring);
        }
        ASSERT_EQ(warnings.size(), c.expected.size());
        for (std::size_t i = 0; i < warnings.size(); ++i) {
            EXPECT_EQ(warnings[i].rfind("s.json: ", 0), 0u) << warnings[i];
            EXPECT_NE(warnings[i].find(c.expected[i]), std::string::npos) << warnings[i];
        }
    }
}

// The optimal allocator prices a reverse penalty as an efficiency and never bars, so the
// default allocator's ramp and barring warnings are not its; a penalty it cannot price is.
TEST(ScenarioWarnings, TheOptimalAllocatorIsWarnedOfWhatItRefusesOnly) {
    json document = cleanScenario();
    for (json& row : document["rows"])
        row["maxRotation"] = 0.5;  // five rows barring would search
    for (const double penalty : {0.5, -2.0}) {
        json fixed = scenarioRow(3, 3);
        fixed["type"] = 1;
        fixed["reversePenalty"] = penalty;
        document["rows"].push_back(fixed);
    }
    const Scenario scenario = parseScenario(JsonField(document, "s.json"), "s", false);
    EXPECT_EQ(scenarioWarnings(scenario, "s.json", AllocatorKind::optimal),
              std::vector<std::string>{
                  "s.json: rows[6]: the optimal allocator refuses it (reverse penalty is not a "
                  "positive number): the channel shuts down at the first request"});
    EXPECT_FALSE(barringWarning(scenario, "s.json", AllocatorKind::optimal));
    EXPECT_EQ(scenarioWarnings(scenario, "s.json", AllocatorKind::standard).size(), 2u);
    EXPECT_TRUE(barringWarning(scenario, "s.json", AllocatorKind::standard));
}

}  // namespace
