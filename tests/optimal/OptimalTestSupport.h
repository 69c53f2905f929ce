// Vessels for the optimal allocator's tests: the example scenarios and the published layouts
// read through the table rules, seeded random vessels, and settings of their thrusters drawn
// inside the attainable sets.
#pragma once

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "allocation/AttainableSet.h"
#include "allocation/Shipobj.h"
#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterRow.h"
#include "allocation/ThrusterType.h"

namespace optimal_test {

constexpr double kTruePi = 3.14159265358979323846;

// The active rows of a scenario file, as the channel reads them.
inline Shipobj scenarioShip(const std::string& relativePath) {
    std::ifstream in(std::string(KESTROM_SOURCE_DIR) + "/" + relativePath);
    const nlohmann::json scenario = nlohmann::json::parse(in);
    Shipobj ship;
    std::vector<double> barred(scenario.at("rows").size(), -1.0);
    int index = 0;
    for (const nlohmann::json& cells : scenario.at("rows")) {
        ThrusterRow row;
        row.force = cells.value("force", 0.0f);
        row.angle = cells.value("angle", 0.0f);
        for (int k = 0; k < 3; ++k) {
            row.position[k] = cells.at("position").at(static_cast<std::size_t>(k)).get<float>();
        }
        row.type = cells.value("type", 1);
        row.active = cells.value("active", 0);
        row.maxForce = cells.value("maxForce", 0.0f);
        row.reversePenalty = cells.value("reversePenalty", 0.0f);
        row.startAngle = cells.value("startAngle", 0.0f);
        row.maxRotation = cells.value("maxRotation", 3.14159265358f);
        if (isActiveRow(row.active)) {
            addThrusterRow(index, row, ship, barred);
        }
        ++index;
    }
    return ship;
}

inline const std::vector<std::string>& scenarioFiles() {
    static const std::vector<std::string> files{
        "examples/ferry.json", "examples/supply-vessel.json", "examples/mss-supply.json",
        "examples/drillship.json"};
    return files;
}

// A vessel of `rows` thrusters, at most `sectorRows` of them of narrow limited rotation; the
// others fixed-direction (with a reverse penalty), wide limited rotation or free azimuths.
inline Shipobj randomShip(std::mt19937& rng, int rows, int sectorRows) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> barred(static_cast<std::size_t>(rows), -1.0);
    Shipobj ship;
    for (int i = 0; i < rows; ++i) {
        ThrusterRow row;
        row.active = 1;
        row.position[0] = static_cast<float>(-8.0 + 16.0 * unit(rng));
        row.position[2] = static_cast<float>(-40.0 + 80.0 * unit(rng));
        row.maxForce = static_cast<float>(50000.0 + 750000.0 * unit(rng));
        row.startAngle = static_cast<float>(2.0 * kTruePi * unit(rng));
        row.angle = row.startAngle;
        if (i < sectorRows) {
            row.type = 2 + (i % 2);
            row.maxRotation = static_cast<float>(0.05 + 1.4 * unit(rng));
        } else {
            const int kind = static_cast<int>(3.0 * unit(rng));
            row.type = kind == 0 ? 1 : (kind == 1 ? 2 : 0);
            row.maxRotation = static_cast<float>(kind == 1 ? 1.6 + 1.5 * unit(rng) : 3.14159265358);
            row.reversePenalty = static_cast<float>(kind == 0 ? 0.5 + 0.5 * unit(rng) : 1.0);
        }
        addThrusterRow(i, row, ship, barred);
    }
    return ship;
}

// A stored-frame force inside the row's attainable set, at most `share` of its maximum.
inline std::array<double, 2> randomReachableForce(std::mt19937& rng, const Thrusterobj& t,
                                                  double share) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const AttainableSet set = attainableSet(t);
    const double magnitude = set.maxForce * share * unit(rng);
    double angle = 2.0 * kTruePi * unit(rng);
    if (set.shape == AttainableSet::Shape::segment) {
        angle = set.angle + (unit(rng) < 0.5 ? 0.0 : kTruePi);
    } else if (set.shape == AttainableSet::Shape::doubleSector) {
        angle =
            set.angle + set.halfWidth * (2.0 * unit(rng) - 1.0) + (unit(rng) < 0.5 ? 0.0 : kTruePi);
    }
    return {magnitude * std::cos(angle), magnitude * std::sin(angle)};
}

// (|f| / eta)^(3/2), eta the reverse penalty for a fixed-direction row pushing against its
// start angle.
inline double settingPower(const Thrusterobj& t, const std::array<double, 2>& f) {
    const double magnitude = std::hypot(f[0], f[1]);
    const bool reversed = f[0] * std::cos(t.startAngle()) + f[1] * std::sin(t.startAngle()) < 0.0;
    const double eta = hasFixedDirection(t.type()) && reversed ? t.reversePenalty() : 1.0;
    return std::pow(magnitude / eta, 1.5);
}

inline forceMom settingThrust(const Shipobj& ship, const std::vector<std::array<double, 2>>& f) {
    forceMom total;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        const forceMom one = shipThrust(f[i][0], f[i][1], t.posX(), t.posY());
        total.fwd += one.fwd;
        total.swd += one.swd;
        total.rot += one.rot;
    }
    return total;
}

}  // namespace optimal_test
