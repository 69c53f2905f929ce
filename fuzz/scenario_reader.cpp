// Scenario files of `kestrom-sim run`, from bytes to a checked scenario: whatever the
// reader accepts must be a table the scene can build (2 to 128 rows, finite cells that fit
// a float, one flag per column, demands of three finite numbers).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "FuzzSupport.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"

using namespace kestrom_sim;

namespace {

bool fitsFloat(double value) {
    return std::isfinite(value) && std::fabs(value) <= std::numeric_limits<float>::max();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kestrom_fuzz::ScratchFile file(".json");
    // The last byte chooses whether the demands may come from elsewhere (--demands).
    const bool demandsRequired = size == 0 || (data[size - 1] & 1u) == 0;
    Scenario scenario;
    try {
        const nlohmann::json document = readJsonFile(file.write(data, size));
        scenario = parseScenario(JsonField(document, "scenario.json"), "scenario", demandsRequired);
    } catch (const InputError&) {
        return 0;
    }
    if (scenario.rows.size() < 2 || scenario.rows.size() > kMaxRows) {
        kestrom_fuzz::fail("a scenario was accepted with a row count outside 2 to 128");
    }
    if (demandsRequired && scenario.demands.empty()) {
        kestrom_fuzz::fail("a scenario without demands was accepted");
    }
    for (const ScenarioRow& row : scenario.rows) {
        for (const double cell : row) {
            if (!fitsFloat(cell)) {
                kestrom_fuzz::fail("a table cell was accepted that a float cannot hold");
            }
        }
    }
    for (const Demand& demand : scenario.demands) {
        for (const double component : demand) {
            if (!fitsFloat(component)) {
                kestrom_fuzz::fail("a demand was accepted that a float cannot hold");
            }
        }
    }
    if (scenario.actionInExtrema && !fitsFloat(*scenario.actionInExtrema)) {
        kestrom_fuzz::fail("an action in extrema was accepted that a float cannot hold");
    }
    return 0;
}
