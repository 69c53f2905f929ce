// The capability envelope: physical limits against hand-worked layouts, the allocation's
// limit below the physical one and independent of the thread count, and its verdicts on
// sampled directions against those on what the real plug-in publishes through the host.
#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "RunToolProcess.h"
#include "capability/CapabilityEnvelope.h"
#include "capability/PhysicalLimit.h"
#include "scenario/DefaultVessel.h"
#include "scenario/ScenarioTable.h"

namespace {

using nlohmann::json;
using namespace kestrom_sim;

constexpr double kPi = 3.14159265358979323846;

// A thruster at forward arm posX and sideways arm posY, through the model.
Thrusterobj thruster(double posX, double posY, signed char type, double maxForce,
                     double startAngle = 0.0, double maxRotation = 3.14159265358) {
    return Thrusterobj(0, posX, posY, type, maxForce, 0.0, 1.0, startAngle, startAngle,
                       maxRotation);
}

double largest(const Shipobj& ship, double degrees, double moment = 0.0) {
    PhysicalLimit limit(thrusterReaches(ship));
    return limit.largest(degrees * kPi / 180.0, moment).value_or(-1.0);
}

// n free azimuths on a circle around the reference point: each gives its maximum along the
// demanded direction and their moments cancel, so the limit is n times the maximum, and the
// circumscribed polygons may add at most their stated error.
TEST(PhysicalLimit, SymmetricFreeAzimuthsGiveTheirSumInEveryDirection) {
    for (const int n : {3, 4, 6}) {
        Shipobj ship;
        for (int k = 0; k < n; ++k) {
            const double a = 2.0 * kPi * k / n + 0.3;
            ship.addThruster(
                thruster(20.0 * std::cos(a), 20.0 * std::sin(a), k % 2 == 0 ? 0 : 2, 250.0));
        }
        for (const double degrees : {0.0, 17.0, 90.0, 135.0, 222.5, 300.0}) {
            const double limit = largest(ship, degrees);
            EXPECT_GE(limit, n * 250.0 * (1.0 - 1e-9)) << n << " at " << degrees;
            EXPECT_LE(limit, n * 250.0 * (1.0 + kPolygonErrorBound) + 1e-9)
                << n << " at " << degrees;
        }
    }
}

// Two fixed-direction thrusters at the reference point, one along the bow (100 N), one
// athwartships (50 N): together a rectangle |fwd| <= 100, |swd| <= 50, exact.
TEST(PhysicalLimit, FixedDirectionPairGivesTheSumOfItsSegments) {
    Shipobj ship;
    ship.addThruster(thruster(0.0, 0.0, 1, 100.0, 0.0, 0.01));
    ship.addThruster(thruster(0.0, 0.0, 1, 50.0, kPi / 2.0, 0.01));
    for (const double degrees : {0.0, 20.0, 30.0, 80.0, 90.0, 200.0, 333.0}) {
        const double c = std::fabs(std::cos(degrees * kPi / 180.0));
        const double s = std::fabs(std::sin(degrees * kPi / 180.0));
        const double expected = std::min(c > 0 ? 100.0 / c : HUGE_VAL, s > 0 ? 50.0 / s : HUGE_VAL);
        EXPECT_NEAR(largest(ship, degrees), expected, 1e-9 * expected) << degrees;
    }
    // A moment needs an arm: at the reference point none can be held.
    EXPECT_EQ(largest(ship, 0.0, 10.0), -1.0);
}

// One limited-rotation thruster turning 30 degrees either side of the bow, its reverse too:
// a demand at 60 degrees lies in neither sector and cannot be met at all; along the bow and
// astern it gets its full maximum.
TEST(PhysicalLimit, DoubleSectorReachesOnlyItsTwoSectors) {
    Shipobj ship;
    ship.addThruster(thruster(0.0, 0.0, 2, 100.0, 0.0, kPi / 6.0));
    EXPECT_NEAR(largest(ship, 0.0), 100.0, 100.0 * kPolygonErrorBound + 1e-9);
    EXPECT_NEAR(largest(ship, 180.0), 100.0, 100.0 * kPolygonErrorBound + 1e-9);
    EXPECT_NEAR(largest(ship, 60.0), 0.0, 1e-9);
    EXPECT_NEAR(largest(ship, 240.0), 0.0, 1e-9);
}

// Whether a magnitude is met by the envelope's account.
bool metInEnvelope(const DirectionCapability& d, double magnitude) {
    return (d.allocation && magnitude <= *d.allocation) ||
           std::find(d.metAbove.begin(), d.metAbove.end(), magnitude) != d.metAbove.end();
}

class Capability : public SimTool {
  protected:
    // The tool's verdict on the table the plug-in publishes for demand, alone on the built-in
    // vessel's table as given (one run per demand: a run carries the table from request to
    // request). The verdict on a published table is tested against hand-worked tables.
    bool pluginMeets(const Demand& demand, double tolerance) {
        const std::string demands =
            write("demand.csv", json(demand[0]).dump() + "," + json(demand[1]).dump() + "," +
                                    json(demand[2]).dump() + "\n");
        const auto result = results({"--demands", demands, "--tolerance", json(tolerance).dump()});
        return result.at(0)["met"].get<bool>();
    }
};

TEST_F(Capability, AllocationStaysBelowThePhysicalLimitAndAgreesWithThePlugin) {
    CapabilityOptions options;
    options.directions = 24;
    options.threads = 1;
    const CapabilityEnvelope single = capabilityEnvelope(defaultVessel(), options);
    options.threads = 2;
    const CapabilityEnvelope two = capabilityEnvelope(defaultVessel(), options);
    ASSERT_EQ(single.directions.size(), 24u);
    for (std::size_t k = 0; k < single.directions.size(); ++k) {
        const DirectionCapability& d = single.directions[k];
        EXPECT_EQ(d.allocation, two.directions[k].allocation) << d.angle;
        EXPECT_EQ(d.metAbove, two.directions[k].metAbove) << d.angle;
        EXPECT_LE(d.allocation.value_or(0.0), d.physical) << d.angle;
        for (const double m : d.metAbove) {
            EXPECT_LE(m, d.physical) << d.angle;
        }
    }
    // Sampled directions: the allocation's limit, the first miss above it, and the first
    // magnitude met again above that miss, each judged on the plug-in's published table.
    int judged = 0;
    for (const std::size_t k : {0u, 1u, 6u, 11u}) {
        const DirectionCapability& d = single.directions[k];
        const double step = d.physical * options.stepPercent / 100.0;
        std::vector<double> samples = {d.allocation.value_or(0.0),
                                       d.allocation.value_or(-step) + step};
        if (!d.metAbove.empty()) {
            samples.push_back(d.metAbove.front());
        }
        for (const double magnitude : samples) {
            if (magnitude > d.physical * (1.0 + 1e-12)) {
                continue;
            }
            const Demand demand = capabilityDemand(d.angle, magnitude, single.moment);
            EXPECT_EQ(pluginMeets(demand, options.tolerance), metInEnvelope(d, magnitude))
                << d.angle << " degrees, " << magnitude << " N";
            ++judged;
        }
    }
    EXPECT_GE(judged, 8);
}

TEST_F(Capability, BadInputNamesTheFileAndTheKey) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"capability", "--moment", "1e15"}, "kestrom-sim: --moment: "},
        {{"capability", "--svg", "."}, "kestrom-sim: .: --svg: is a directory"},
        {{"capability", "bad.json"}, "kestrom-sim: bad.json: rows[1]: the thruster model rejects"},
    };
    write("bad.json",
          json{{"rows", {scenarioRow(0, 0, 10, 1.0), scenarioRow(0, 0, 10, 7.0)}}}.dump());
    for (const auto& c : cases) {
        const ToolResult tool = run(c.args);
        EXPECT_EQ(tool.status, 2) << c.message;
        EXPECT_EQ(tool.err.rfind(c.message, 0), 0u) << tool.err;
        EXPECT_EQ(lines(tool.err).size(), 1u) << tool.err;
    }
}

}  // namespace
