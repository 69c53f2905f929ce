// Demand series of `kestrom-sim run --demands`, from bytes to demands: every accepted line
// gives three finite numbers that a float holds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "CsvSeries.h"
#include "FuzzSupport.h"
#include "scenario/JsonInput.h"

using namespace kestrom_sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kestrom_fuzz::ScratchFile file(".csv");
    std::vector<Demand> demands;
    try {
        demands = readDemandsCsv(file.write(data, size));
    } catch (const InputError&) {
        return 0;
    }
    for (const Demand& demand : demands) {
        for (const double component : demand) {
            if (!std::isfinite(component) ||
                std::fabs(component) > std::numeric_limits<float>::max()) {
                kestrom_fuzz::fail("a demand was accepted that a float cannot hold");
            }
        }
    }
    return 0;
}
