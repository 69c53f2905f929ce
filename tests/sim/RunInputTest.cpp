// Bad input to `kestrom-sim run`: each problem gives exactly one line naming the file, the
// key and what is wrong, exit status 2, and no results.
#include "RunToolProcess.h"

namespace {

// Two complete rows; the scenarios below break one thing each.
const std::string kRow =
    R"({"force": 0, "angle": 0, "position": [1, 0, -2], "type": 2, "active": 1, )"
    R"("maxForce": 500, "reversePenalty": 1, "startAngle": 0, "maxRotation": 3.14159265358})";
const std::string kRows = "[" + kRow + ", " + kRow + "]";

struct BadInput {
    const char* what;
    std::string scenario;                // written to bad.json; empty: no file written
    std::vector<std::string> extraArgs;  // after the scenario path
    std::string message;                 // after "kestrom-sim: "; $DIR is the scratch dir
};

std::string replaced(std::string text, const std::string& dir) {
    for (std::size_t at; (at = text.find("$DIR")) != std::string::npos;) {
        text.replace(at, 4, dir);
    }
    return text;
}

// Each malformed scenario, demand file or plug-in is refused with its own message.
TEST(RunInput, EachProblemIsNamedOnOneLineWithStatus2) {
    const std::vector<BadInput> cases = {
        {"missing file", "", {}, "$DIR/bad.json: cannot be read: No such file or directory"},
        {"not JSON",
         "{\"rows\": [",
         {},
         "$DIR/bad.json: not JSON: parse error at line 1, column 11: syntax error while parsing "
         "value - unexpected end of input; expected '[', '{', or a literal"},
        {"missing rows", R"({"demands": [[1, 2, 3]]})", {}, "$DIR/bad.json: rows: missing"},
        {"mistyped value",
         R"({"rows": [)" + kRow +
             R"(, {"force": 0, "angle": 0, "position": [1, 0, -2], "type": 2, "active": 1, "maxForce": "500", "reversePenalty": 1, "startAngle": 0, "maxRotation": 1}], "demands": [[1, 2, 3]]})",
         {},
         "$DIR/bad.json: rows[1].maxForce: expected a number, got a string"},
        {"number beyond single precision",
         R"({"rows": )" + kRows + R"(, "demands": [[1, 2e39, 3]]})",
         {},
         "$DIR/bad.json: demands[0][1]: out of the single-precision range the host's channels "
         "hold"},
        {"number too large for a double",
         R"({"rows": )" + kRows + R"(, "demands": [[1e999, 0, 0]]})",
         {},
         "$DIR/bad.json: not JSON: number overflow parsing '1e999'"},
        {"no rows",
         R"({"rows": [], "demands": [[1, 2, 3]]})",
         {},
         "$DIR/bad.json: rows: expected at least 2 rows, got 0 (the channel computes nothing "
         "for fewer)"},
        {"key in some rows only",
         R"({"rows": [)" + kRow +
             R"(, {"force": 0, "position": [1, 0, 2], "type": 2, "active": 1, "maxForce": 500, "reversePenalty": 1, "startAngle": 0, "maxRotation": 1}], "demands": [[1, 2, 3]]})",
         {},
         "$DIR/bad.json: rows[1]: \"angle\" missing, but row 0 gives it (give it in every row or "
         "in none)"},
        {"unknown key",
         R"({"rows": )" + kRows + R"(, "demand": [[1, 2, 3]]})",
         {},
         "$DIR/bad.json: demand: unknown key"},
        {"no demands",
         R"({"rows": )" + kRows + R"(, "demands": []})",
         {},
         "$DIR/bad.json: demands: expected at least one demand [fwd, swd, rot]"},
        {"demand of two numbers",
         R"({"rows": )" + kRows + R"(, "demands": [[1, 2]]})",
         {},
         "$DIR/bad.json: demands[0]: expected 3 numbers [fwd, swd, rot]"},
        {"plug-in missing",
         R"({"rows": )" + kRows + R"(, "demands": [[1, 2, 3]]})",
         {"--plugin", "$DIR/none.so"},
         "$DIR/none.so: cannot be loaded: $DIR/none.so: cannot open shared object file: No "
         "such file or directory"},
        {"library without the entry points",
         R"({"rows": )" + kRows + R"(, "demands": [[1, 2, 3]]})",
         {"--plugin", KESTROM_HOST_LIBRARY},
         std::string(KESTROM_HOST_LIBRARY) + ": GetType: no such exported function: not a "
                                             "channel plug-in"},
        {"demand file line",
         R"({"rows": )" + kRows + "}",
         {"--demands", "$DIR/log.csv"},
         "$DIR/log.csv: line 3: \"x\" is not a number"},
        {"non-finite demand in file",
         R"({"rows": )" + kRows + "}",
         {"--demands", "$DIR/nan.csv"},
         "$DIR/nan.csv: line 1: \"nan\" is not a finite number"},
    };
    ScratchDirectory dir;
    dir.write("log.csv", "fwd,swd,rot\n1,2,3\n1,x,3\n");
    dir.write("nan.csv", "nan,0,0\n");
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(dir.file("bad.json").c_str());
        if (!c.scenario.empty()) {
            dir.write("bad.json", c.scenario);
        }
        std::vector<std::string> args = {"run", dir.file("bad.json")};
        for (const std::string& arg : c.extraArgs) {
            args.push_back(replaced(arg, dir.path()));
        }
        const ToolResult run = runTool(dir, args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "kestrom-sim: " + replaced(c.message, dir.path()) + "\n");
    }
}

}  // namespace
