// Vessels for the optimal allocator's tests: the examples read through the table rules,
// seeded random vessels, and thruster settings drawn inside the attainable sets.
#pragma once

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "allocation/AttainableSet.h"
#include "allocation/ThrustFrame.h"
#include "allocation/ThrusterRow.h"
#include "allocation/ThrusterType.h"
#include "scenario/ChannelRows.h"
#include "scenario/JsonInput.h"
#include "scenario/Scenario.h"

namespace optimal_test {

constexpr double kTruePi = 3.14159265358979323846;
inline const char* const kScenarios[] = {"ferry", "supply-vessel", "mss-supply", "drillship"};
using Setting = std::vector<std::array<double, 2>>;  // stored-frame force per row

// The active rows of an example, read as the tools and the channel read them.
inline Shipobj scenarioShip(const std::string& name) {
    const std::string path = std::string(KESTROM_SOURCE_DIR) + "/examples/" + name + ".json";
    const nlohmann::json document = kestrom_sim::readJsonFile(path);
    return activeRowsShip(kestrom_sim::channelRows(
        kestrom_sim::parseScenario(kestrom_sim::JsonField(document, path), name, false)));
}

// `rows` thrusters, the first `sectorRows` of narrow limited rotation, the others fixed
// (with a reverse penalty), wide limited rotation or free.
inline Shipobj randomShip(std::mt19937& rng, int rows, int sectorRows) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> barred(static_cast<std::size_t>(rows), -1.0);
    Shipobj ship;
    for (int i = 0; i < rows; ++i) {
        ThrusterRow r;
        r.active = 1;
        r.position[0] = static_cast<float>(16.0 * u(rng) - 8.0);
        r.position[2] = static_cast<float>(80.0 * u(rng) - 40.0);
        r.maxForce = static_cast<float>(5e4 + 7.5e5 * u(rng));
        r.startAngle = r.angle = static_cast<float>(2.0 * kTruePi * u(rng));
        const int kind = i < sectorRows ? 3 : static_cast<int>(3.0 * u(rng));
        r.type = kind == 0 ? 1 : (kind == 2 ? 0 : 2);
        r.maxRotation = static_cast<float>(kind == 3 ? 0.05 + 1.4 * u(rng) : 1.6 + 1.5 * u(rng));
        r.reversePenalty = static_cast<float>(0.5 + 0.5 * u(rng));
        addThrusterRow(i, r, ship, barred);
    }
    return ship;
}

// Per row a force inside its attainable set of at most `share` of its maximum.
inline Setting randomSetting(std::mt19937& rng, const Shipobj& ship, double share) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Setting setting;
    for (const Thrusterobj& t : ship.thrusters()) {
        const AttainableSet s = attainableSet(t);
        double a = 2.0 * kTruePi * u(rng);
        if (s.shape != AttainableSet::Shape::disc) {
            a = s.angle + s.halfWidth * (2.0 * u(rng) - 1.0) + (u(rng) < 0.5 ? 0.0 : kTruePi);
        }
        const double f = s.maxForce * share * u(rng);
        setting.push_back({f * std::cos(a), f * std::sin(a)});
    }
    return setting;
}

// Sum of (|f| / eta)^1.5, eta the reverse penalty of a fixed row pushing backwards.
inline double settingPower(const Shipobj& ship, const Setting& f) {
    double power = 0.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        const bool back =
            f[i][0] * std::cos(t.startAngle()) + f[i][1] * std::sin(t.startAngle()) < 0;
        const double eta = hasFixedDirection(t.type()) && back ? t.reversePenalty() : 1.0;
        power += std::pow(std::hypot(f[i][0], f[i][1]) / eta, 1.5);
    }
    return power;
}

inline forceMom settingThrust(const Shipobj& ship, const Setting& f) {
    forceMom total;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        const forceMom one = shipThrust(f[i][0], f[i][1], t.posX(), t.posY());
        total = forceMom(total.fwd + one.fwd, total.swd + one.swd, total.rot + one.rot, 0.0);
    }
    return total;
}

}  // namespace optimal_test

namespace optimal_test {

// The ship with `edit` applied to every row's constructor arguments.
template <typename Edit>
Shipobj editedShip(const Shipobj& ship, Edit edit) {
    Shipobj next;
    for (unsigned i = 0; i < ship.count(); ++i) {
        const Thrusterobj& t = ship.thruster(i);
        ThrusterParams p{t.number(),     t.posX(),       t.posY(),           t.type(),
                         t.maxForce(),   t.force(),      t.reversePenalty(), t.angle(),
                         t.startAngle(), t.maxRotation()};
        edit(i, p);
        next.addThruster(Thrusterobj(p));
    }
    return next;
}

}  // namespace optimal_test
