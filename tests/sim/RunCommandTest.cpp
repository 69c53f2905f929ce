// End-to-end runs of `kestrom-sim run` with the built plug-in: the default vessel, every
// example checked against a recomputation from its published tables and pictures, CSV
// series, a request never waited out, and bad input.
#include <expat.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "RunToolProcess.h"
#include "allocation/AllocationTestSupport.h"

namespace {

using nlohmann::json;

const std::string kExamples = KESTROM_EXAMPLES_DIR;

class RunCommand : public SimTool {};

// How a thruster pushing fx along the bow and fy towards 90 degrees from it, at forward arm x
// and sideways arm y, counts: "Thrust Generated" takes the sway as -fy, the check of a table's
// present settings as +fy; either way the moment is sway times x minus fx times y.
enum class Sway { negative, positive };

// The thrust of a published table at the scenario's positions (floats, as in the host's
// cells).
std::array<double, 3> tableThrust(const json& scenarioRows, const json& published, Sway sway) {
    std::array<double, 3> total{0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < published.size(); ++i) {
        const double f = published[i]["force"], a = published[i]["angle"];
        const double x = scenarioRows[i]["position"][2].get<float>();
        const double y = scenarioRows[i]["position"][0].get<float>();
        const double fx = f * std::cos(a);
        const double side = sway == Sway::negative ? -(f * std::sin(a)) : f * std::sin(a);
        total = {total[0] + fx, total[1] + side, total[2] + (side * x - fx * y)};
    }
    return total;
}

// What expat reads of a picture: the root element, and each text's attributes and content.
struct PictureParse {
    std::string root;
    std::vector<std::map<std::string, std::string>> texts;
    bool inText = false;
};

// The file is well-formed XML, an svg with one group per thruster. The thrusters' share
// labels (bold 12 px, whose digits and % average under 0.8 of that wide) overlap no other, the
// panel's right-aligned values end inside its frame (x 600 to 950), no text has an exponent.
void expectPicture(const std::string& path, long thrusters) {
    PictureParse p;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &p);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto& p = *static_cast<PictureParse*>(data);
            p.root = p.root.empty() ? name : p.root;
            if ((p.inText = std::string(name) == "text"))
                p.texts.emplace_back();
            for (int i = 0; p.inText && attributes[i] != nullptr; i += 2)
                p.texts.back()[attributes[i]] = attributes[i + 1];
        },
        [](void* data, const XML_Char*) { static_cast<PictureParse*>(data)->inText = false; });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
        auto& p = *static_cast<PictureParse*>(data);
        if (p.inText)
            p.texts.back()["content"].append(chars, static_cast<std::size_t>(length));
    });
    const std::string text = readFile(path);
    EXPECT_EQ(XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1), XML_STATUS_OK);
    XML_ParserFree(parser);
    EXPECT_EQ(p.root, "svg") << path;
    long groups = 0;
    for (std::size_t at = 0; (at = text.find("id=\"thruster-", at)) != std::string::npos; ++at)
        ++groups;
    EXPECT_EQ(groups, thrusters) << path;
    std::vector<std::array<double, 4>> boxes;  // left, top, right, bottom
    for (auto& t : p.texts) {
        const double x = std::stod(t["x"]), y = std::stod(t["y"]);
        const bool end = t["text-anchor"] == "end";
        EXPECT_EQ(t["content"].find("e+"), std::string::npos) << path << ": " << t["content"];
        const double width = 0.8 * 12.0 * static_cast<double>(t["content"].size());
        if (t["class"] == "share")
            boxes.push_back({end ? x - width : x, y - 12.0, end ? x : x + width, y + 3.0});
        EXPECT_LE(end ? x : 0.0, 945.0) << path << ": " << t["content"];
    }
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(boxes[i][0] < boxes[j][2] && boxes[j][0] < boxes[i][2] &&
                         boxes[i][1] < boxes[j][3] && boxes[j][1] < boxes[i][3])
                << path << ": labels " << i << " and " << j << " overlap";
}

// Seven azimuths crowded within a metre and one far aft, all pushing: their labels keep apart.
TEST_F(RunCommand, CrowdedThrustersGetLabelsThatDoNotOverlap) {
    json rows = json::array();
    for (int k = 0; k < 8; ++k)
        rows.push_back(scenarioRow(0.1 * (k % 3), 0.1 * k - 20.0 * (k == 7)));
    const json crowd = {{"rows", rows}, {"demands", {{3000, 1000, 0}}}};
    results({write("crowd.json", crowd.dump()), "--svg", file("crowd.svg")});
    expectPicture(file("crowd.svg"), 8);
}

// The default run leaves a picture of the built-in vessel's last request and is warned about
// as a file would be; its results are those of the vessel's example file.
TEST_F(RunCommand, DefaultVesselRunsAndMatchesItsExampleFile) {
    const ToolResult human = run({"run", "--svg", file("last.svg")});
    ASSERT_EQ(human.status, 0) << human.err;
    EXPECT_NE(human.err.find("kestrom-sim: warning: built-in vessel: rows[4].reversePenalty: "),
              std::string::npos)
        << human.err;
    expectPicture(file("last.svg"), 6);
    EXPECT_EQ(results({}), results({kExamples + "/supply-vessel.json"}));
}

// Every example runs; each JSON line echoes its demand (the Python identity tests read the
// other keys, the shutdown test below publishedRows); the generated thrust is what the
// published table produces (cells hold single precision: to a millionth of the capacity);
// demands well inside the capacity are met within the channel's tolerance (0.1 %, components
// below 0.01 demanded as 0.01); --svg-all leaves one picture per request. Pushing 1 MN ahead with
// two equal fixed main propellers and four tunnels, each propeller gives half (by symmetry and
// least energy) and the tunnels nothing.
TEST_F(RunCommand, ExamplesPublishTablesThatAddUpToTheGeneratedThrust) {
    struct Example {
        std::string name;
        // The ferry's quadrants are not symmetric about the bow: a thruster left outside its
        // range is published with force 0 but its thrust counts in the total.
        bool tableHoldsTotal;
        std::set<std::size_t> met;  // demands of 0 are met only as finely as a vessel converges
    } const examples[] = {{"supply-vessel", true, {0}},
                          {"mss-supply", true, {0, 1, 2, 3}},
                          {"drillship", true, {0}},
                          {"ferry", false, {0, 1, 2, 3}}};
    for (const Example& example : examples) {
        SCOPED_TRACE(example.name);
        const std::string path = kExamples + "/" + example.name + ".json";
        const json scenario = json::parse(readFile(path)), rows = scenario["rows"];
        const std::vector<json> out =
            results({path, "--svg", file(example.name + ".svg"), "--svg-all"});
        ASSERT_EQ(out.size(), scenario["demands"].size());
        double capacity = 0.0, arm = 0.0;
        for (const json& r : rows) {
            capacity += r["maxForce"].get<double>();
            arm = std::max(
                arm, std::hypot(r["position"][0].get<double>(), r["position"][2].get<double>()));
        }
        const double scale[3] = {capacity, capacity, capacity * arm};
        for (std::size_t n = 0; n < out.size(); ++n) {
            SCOPED_TRACE(n);
            const json& r = out[n];
            expectPicture(file(example.name + "-" + std::to_string(n + 1) + ".svg"), rows.size());
            ASSERT_EQ(r["rows"].size(), rows.size());
            EXPECT_EQ(r["demand"], scenario["demands"][n]);
            const bool met = example.met.count(n) != 0;
            if (met) {
                EXPECT_EQ(r["errorMessage"], "No errors");
            }
            const std::array<double, 3> table = tableThrust(rows, r["rows"], Sway::negative);
            for (int k = 0; k < 3 && example.tableHoldsTotal && r["error"] == 0; ++k)
                EXPECT_NEAR(table[k], r["thrustGenerated"][k].get<double>(), 1e-6 * scale[k]) << k;
            EXPECT_EQ(r["tableMatchesGenerated"], example.tableHoldsTotal || r["error"] != 0);
            for (int k = 0; k < 3 && met; ++k) {
                const double generated = r["thrustGenerated"][k], demanded = r["demand"][k];
                const double target = std::fabs(demanded) < 0.01 ? 0.01 : demanded;
                EXPECT_LT(std::fabs((target - generated) / target), 0.001) << k;
            }
            if (example.name != "mss-supply" || n != 1)
                continue;
            ASSERT_EQ(r["demand"], json::array({1000000.0, 0.0, 0.0}));
            for (int i = 0; i < 6; ++i) {
                const double force = r["rows"][i]["force"], angle = r["rows"][i]["angle"];
                EXPECT_NEAR(force, i < 2 ? 500000.0 : 0.0, 1.0) << i;
                EXPECT_NEAR(i < 2 ? std::remainder(angle, 2 * M_PI) : 0.0, 0.0, 1e-6) << i;
            }
        }
    }
}

// The table output sets the plug-in's own report apart from the tool's verdict, names only
// the components that miss, in readable units, and says (in its picture too) why a table differs
// from "Thrust Generated". Two 500 N azimuths give at most 1 kN ahead: 2 kN falls short by 1 kN.
TEST_F(RunCommand, VerdictNamesWhatMissesAndWhy) {
    const json pair = {{"rows", {scenarioRow(0, 1.8), scenarioRow(0, -1.8)}},
                       {"demands", {{2000, 0, 0}}}};
    const std::string out = run({"run", write("pair.json", pair.dump())}).out;
    const std::size_t message = out.find("Error Message: No errors");
    EXPECT_TRUE(out.find("own report") < message && message < out.find("the vessel gets")) << out;
    EXPECT_NE(out.find("MISSED: the table's thrust falls short by fwd 1 kN (tolerance 1 %)."),
              std::string::npos)
        << out;
    EXPECT_NE(run({"run", kExamples + "/ferry.json", "--svg", file("ferry.svg")})
                  .out.find("pointed outside the rotation range, so the channel wrote force 0"),
              std::string::npos);
    const std::string svg = readFile(file("ferry.svg"));  // the claim as a ghost, rows 0 why
    EXPECT_NE(svg.find("<g id=\"claimed\""), svg.npos);
    EXPECT_NE(svg.find(">0% (out of range)</"), svg.npos);
}

// A request that the table already meets (by the present-settings sum) is told to start no
// computation (its JSON and table are the Python identity tests' and the channel test's); a
// rejected row (a rotation range above a full turn) shuts the channel down while it reads the
// request, which then goes on without that row: the replaced shutdown text reaches the user
// as a warning, the publication as the result.
TEST_F(RunCommand, TableMeetingTheRequestAndShutdownWhileReading) {
    json scenario = json::parse(readFile(kExamples + "/drillship.json"));
    scenario["demands"] = json::array({json::array({1.0, 0.5, 0.3})});
    const json first = results({write("first.json", scenario.dump())}).at(0);
    scenario["demands"].push_back(tableThrust(scenario["rows"], first["rows"], Sway::positive));
    EXPECT_NE(
        run({"run", write("second.json", scenario.dump())}).out.find("No computation started"),
        std::string::npos);

    // Degrees by mistake: the shutdown is part of the request's result (the zeroed table at
    // that moment), the later publication names its rows, and the exit status is 5.
    scenario["rows"][3]["maxRotation"] = 60.0;
    const json result = results({write("bad.json", scenario.dump())}, 5).at(0);
    EXPECT_TRUE(result["started"]);
    EXPECT_EQ(result["errorMessage"], "No errors");
    EXPECT_EQ(result["rows"][3]["force"], 0.0);
    ASSERT_EQ(result["shutdowns"].size(), 1u);
    EXPECT_NE(
        result["shutdowns"][0]["errorMessage"].get<std::string>().find(rejectedRotationText()),
        std::string::npos);
    for (const json& row : result["shutdowns"][0]["rows"])
        EXPECT_EQ(row["force"], 0.0);
    EXPECT_EQ(result["publishedRows"], json::array({0, 1, 2}));
    EXPECT_NE(run({"run", file("bad.json")}).out.find("SHUT DOWN during this request"),
              std::string::npos);
    EXPECT_NE(last.err.find("kestrom-sim: warning: the channel wrote, then replaced, \"Error "
                            "Message\": Unfortunately an error occurred."),
              std::string::npos)
        << last.err;
    EXPECT_NE(last.err.find(rejectedRotationText()), std::string::npos);
}

// A demand series from CSV gives one result line per demand; each line of the CSV written
// for it holds the numbers of its JSON line, and they read back exactly.
TEST_F(RunCommand, DemandSeriesFromCsvGivesCsvLinesThatReadBackExactly) {
    const std::string series = "fwd,swd,rot\n# 1 Hz\n1.0,0.5,0.3\n\n2.5,-0.4,0.2\n0.3,0.2,-0.1\n";
    const std::vector<json> out = results({kExamples + "/drillship.json", "--csv", file("out.csv"),
                                           "--demands", write("in.csv", series)});
    const std::vector<std::string> csv = lines(readFile(file("out.csv")));
    ASSERT_EQ(out.size(), 3u);
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0].rfind("request,fwd,swd,rot,", 0), 0u);
    for (std::size_t n = 0; n < 3; ++n) {
        const json& r = out[n];
        std::vector<double> expected = {n + 1.0, r["demand"][0], r["demand"][1], r["demand"][2],
                                        r["started"] ? 1.0 : 0.0};
        expected.insert(expected.end(), r["thrustGenerated"].begin(), r["thrustGenerated"].end());
        expected.insert(expected.end(), {r["energy"], r["activeThrusters"], r["error"]});
        expected.insert(expected.end(), r["tableThrust"].begin(), r["tableThrust"].end());
        expected.insert(expected.end(),
                        {r["met"] ? 1.0 : 0.0, r["tableMatchesGenerated"] ? 1.0 : 0.0,
                         static_cast<double>(r["shutdowns"].size())});
        std::vector<double> cells;
        std::istringstream fields(csv[n + 1]);
        for (std::string cell; std::getline(fields, cell, ',');)
            cells.push_back(std::stod(cell));
        cells.erase(cells.begin() + static_cast<long>(expected.size()));  // the time it took
        for (const json& row : r["rows"])
            expected.insert(expected.end(), {row["force"], row["angle"]});
        EXPECT_EQ(cells, expected) << csv[n + 1];
    }
}

// A computation that runs far longer than the time limit is reported and not waited for:
// eight thrusters each turning 0.1 rad about the bow, asked for mostly sideways thrust,
// all end outside their ranges, and the barring search over them takes hours (as the
// warning on the scenario says beforehand).
TEST_F(RunCommand, RequestBeyondTheTimeLimitIsReportedWithStatus3) {
    json scenario = {{"rows", json::array()}, {"demands", {{100, 800, 300}, {1, 1, 1}}}};
    for (int i = 0; i < 8; ++i)
        scenario["rows"].push_back(scenarioRow(i % 2 == 0 ? 2.0 : -2.0, -10 + 3 * i, 1000, 0.1));
    const ToolResult o =
        run({"run", write("slow.json", scenario.dump()), "--timeout", "0.3", "--json"});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "kestrom-sim: warning: " + file("slow.json") +
                  ": rows: 8 active rows of limited rotation can end outside their ranges (0, 1, "
                  "2, 3, 4, 5, 6, 7): when all do, barring searches them exhaustively, 12^8 = "
                  "429981696 solves for one request\n"
                  "kestrom-sim: request 1: no result after 0.3 s; leaving the computation "
                  "running and stopping\n");
}

// Each malformed scenario, demand file or plug-in is refused with status 2, no results and
// exactly one line naming the file, the key and what is wrong.
TEST_F(RunCommand, EachBadInputIsNamedOnOneLineWithStatus2) {
    const std::string bad = file("bad.json"), none = file("none.so");
    const std::string log = write("log.csv", "fwd,swd,rot\n1,2,3\n1,x,3\n");
    const std::string nan = write("nan.csv", "nan,0,0\n");
    json noAngle = scenarioRow(1, 2);
    noAngle.erase("angle");
    const auto scenario = [](const std::string& rest = R"(, "demands": [[1, 2, 3]])",
                             const json& second = scenarioRow(1, 2)) {
        return R"({"rows": )" + json{scenarioRow(1, -2), second}.dump() + rest + "}";
    };
    // The scenario written to bad.json (none if empty), the message after "kestrom-sim: FILE: "
    // with FILE the last argument, and the arguments after bad.json.
    struct BadInput {
        std::string scenario, message;
        std::vector<std::string> args = {};
    } const cases[] = {
        {"", "cannot be read: No such file or directory"},
        {"{\"rows\": [",
         "not JSON: parse error at line 1, column 11: syntax error while parsing value - "
         "unexpected end of input; expected '[', '{', or a literal"},
        {R"({"demands": [[1, 2, 3]]})", "rows: missing"},
        {scenario(R"(, "demands": [[1, 2, 3]])", scenarioRow(1, 2, "500")),
         "rows[1].maxForce: expected a number, got a string"},
        {scenario(R"(, "demands": [[1, 2e39, 3]])"),
         "demands[0][1]: out of the single-precision range the host's channels hold"},
        {scenario(R"(, "demands": [[1e999, 0, 0]])"), "not JSON: number overflow parsing '1e999'"},
        {R"({"rows": [], "demands": [[1, 2, 3]]})",
         "rows: expected at least 2 rows, got 0 (the channel computes nothing for fewer)"},
        {scenario(R"(, "demands": [[1, 2, 3]])", noAngle),
         "rows[1]: \"angle\" missing, but row 0 gives it (give it in every row or in none)"},
        {scenario(R"(, "demand": [[1, 2, 3]])"), "demand: unknown key"},
        {scenario(R"(, "demands": [])"), "demands: expected at least one demand [fwd, swd, rot]"},
        {scenario(R"(, "demands": [[1, 2]])"), "demands[0]: expected 3 numbers [fwd, swd, rot]"},
        {scenario(),
         "cannot be loaded: " + none +
             ": cannot open shared object file: No such file or directory",
         {"--plugin", none}},
        {scenario(),
         "GetType: no such exported function: not a channel plug-in",
         {"--plugin", KESTROM_HOST_LIBRARY}},
        {scenario(""), "line 3: \"x\" is not a number", {"--demands", log}},
        {scenario(""), "line 1: \"nan\" is not a finite number", {"--demands", nan}},
        {scenario(""), "is a directory", {"--demands", dir_}},
        {R"({"thrusters": [], "demand": [1, 2, 3, 0]})",
         "this looks like a solve problem (it has \"thrusters\"): use kestrom-sim solve"},
        // Output paths fail before anything runs.
        {scenario(), "--svg: is a directory", {"--svg", dir_}},
        {scenario(),
         "--csv: cannot be written: No such file or directory",
         {"--csv", file("no/out.csv")}},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.message);
        std::remove(bad.c_str());
        if (!c.scenario.empty())
            write("bad.json", c.scenario);
        std::vector<std::string> args = {"run", bad};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult o = run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err, "kestrom-sim: " + args.back() + ": " + c.message + "\n");
    }
}

}  // namespace
