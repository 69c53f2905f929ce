// Problem files of `kestrom-sim solve|bench`, from bytes to a ship: reading, the checks of
// every key, building the thrusters and writing the result document, which must read back
// as JSON with the same numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sstream>

#include "FuzzSupport.h"
#include "scenario/JsonInput.h"
#include "scenario/SolveProblem.h"

using namespace kestrom_sim;

namespace {

// Reads a number written by writeSolveResult: a JSON number, or one of the three texts of
// the non-finite values.
double readBack(const nlohmann::json& value) {
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text == "NaN") {
            return std::nan("");
        }
        if (text == "Infinity") {
            return HUGE_VAL;
        }
        if (text == "-Infinity") {
            return -HUGE_VAL;
        }
        kestrom_fuzz::fail("a result number is a text other than NaN or +-Infinity");
    }
    if (!value.is_number()) {
        kestrom_fuzz::fail("a result number is neither a number nor a text");
    }
    return value.get<double>();
}

bool sameNumber(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kestrom_fuzz::ScratchFile file(".json");
    SolveProblem problem;
    try {
        const nlohmann::json document = readJsonFile(file.write(data, size));
        problem = parseSolveProblem(JsonField(document, "problem.json"));
    } catch (const InputError&) {
        return 0;
    }
    if (problem.barredAngles.size() != problem.thrusters.size()) {
        kestrom_fuzz::fail("a problem was accepted with a fixed-angle list of the wrong length");
    }
    Shipobj ship;
    try {
        ship = buildShip(problem);
    } catch (const std::exception&) {
        // The model refuses the values: the tool reports that as its own exit status.
        return 0;
    }
    if (ship.count() != problem.thrusters.size()) {
        kestrom_fuzz::fail("the ship does not hold one thruster per problem entry");
    }

    std::ostringstream out;
    writeSolveResult(out, ship.totalForce(), ship);
    nlohmann::json result;
    try {
        result = nlohmann::json::parse(out.str());
    } catch (const nlohmann::json::exception&) {
        kestrom_fuzz::fail("the result document is not JSON");
    }
    const forceMom total = ship.totalForce();
    const double expected[4] = {total.fwd, total.swd, total.rot, total.extra};
    for (std::size_t k = 0; k < 4; ++k) {
        if (!sameNumber(readBack(result.at("total").at(k)), expected[k])) {
            kestrom_fuzz::fail("a total does not read back to the value written");
        }
    }
    for (std::size_t i = 0; i < ship.count(); ++i) {
        const nlohmann::json& t = result.at("thrusters").at(i);
        if (!sameNumber(readBack(t.at("forceX")), ship.thruster(i).forceX()) ||
            !sameNumber(readBack(t.at("force")), ship.thruster(i).force())) {
            kestrom_fuzz::fail("a thruster force does not read back to the value written");
        }
    }
    return 0;
}
