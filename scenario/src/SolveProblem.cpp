// Reading solve problems and writing solve results.
#include "scenario/SolveProblem.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "scenario/NumberText.h"

namespace kestrom_sim {

namespace {

// JSON has no literal for non-finite numbers: they travel as these strings, both ways.
constexpr const char* kNaNText = "NaN";
constexpr const char* kInfinityText = "Infinity";
constexpr const char* kMinusInfinityText = "-Infinity";

double numberValue(const JsonField& field) {
    if (field.json().is_string()) {
        const std::string& text = field.json().get_ref<const std::string&>();
        if (text == kNaNText) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (text == kInfinityText) {
            return std::numeric_limits<double>::infinity();
        }
        if (text == kMinusInfinityText) {
            return -std::numeric_limits<double>::infinity();
        }
    }
    return field.number();
}

std::string numberJson(double value) {
    if (std::isnan(value)) {
        return std::string("\"") + kNaNText + "\"";
    }
    if (std::isinf(value)) {
        return std::string("\"") + (value > 0 ? kInfinityText : kMinusInfinityText) + "\"";
    }
    return roundTripText(value);
}

std::string stringJson(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

signed char smallInteger(const JsonField& field) {
    return static_cast<signed char>(field.integer(-128, 127));
}

ThrusterParams parseThruster(const JsonField& field) {
    field.expectOnlyKeys({"number", "posX", "posY", "type", "maxForce", "force", "reversePenalty",
                          "angle", "startAngle", "maxRotation"});
    ThrusterParams t;
    t.number = smallInteger(field.at("number"));
    t.posX = numberValue(field.at("posX"));
    t.posY = numberValue(field.at("posY"));
    t.type = smallInteger(field.at("type"));
    t.maxForce = numberValue(field.at("maxForce"));
    t.force = numberValue(field.at("force"));
    t.reversePenalty = numberValue(field.at("reversePenalty"));
    t.angle = numberValue(field.at("angle"));
    t.startAngle = numberValue(field.at("startAngle"));
    t.maxRotation = numberValue(field.at("maxRotation"));
    return t;
}

}  // namespace

SolveProblem parseSolveProblem(const JsonField& document) {
    if (document.has("rows") && !document.has("thrusters")) {
        document.fail("this looks like a scenario (it has \"rows\"): use kestrom-sim run");
    }
    document.expectOnlyKeys({"demand", "barredAngles", "thrusters"});
    SolveProblem problem;

    const JsonField demand = document.at("demand");
    if (demand.arraySize() != 4) {
        demand.fail("expected 4 numbers [fwd, swd, rot, extra], got " +
                    std::to_string(demand.arraySize()));
    }
    problem.demand = forceMom(numberValue(demand.at(std::size_t{0})), numberValue(demand.at(1)),
                              numberValue(demand.at(2)), numberValue(demand.at(3)));

    const JsonField thrusters = document.at("thrusters");
    const std::size_t count = thrusters.arraySize();
    problem.thrusters.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        problem.thrusters.push_back(parseThruster(thrusters.at(i)));
    }

    // Without the key every thruster is free to point anywhere.
    problem.barredAngles.assign(count, -1.0);
    if (document.has("barredAngles")) {
        const JsonField barred = document.at("barredAngles");
        if (barred.arraySize() != count) {
            barred.fail("expected " + std::to_string(count) + " numbers (one per thruster), got " +
                        std::to_string(barred.arraySize()));
        }
        for (std::size_t i = 0; i < count; ++i) {
            problem.barredAngles[i] = numberValue(barred.at(i));
        }
    }
    return problem;
}

Shipobj buildShip(const SolveProblem& problem) {
    Shipobj ship;
    for (const ThrusterParams& t : problem.thrusters) {
        ship.addThruster(Thrusterobj(t));
    }
    return ship;
}

void writeSolveResult(std::ostream& out, const forceMom& total, const Shipobj& ship) {
    out << "{\n  \"total\": [" << numberJson(total.fwd) << ", " << numberJson(total.swd) << ", "
        << numberJson(total.rot) << ", " << numberJson(total.extra) << "],\n  \"thrusters\": [";
    const std::vector<Thrusterobj>& thrusters = ship.thrusters();
    for (std::size_t i = 0; i < thrusters.size(); ++i) {
        const Thrusterobj& t = thrusters[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"forceX\": " << numberJson(t.forceX())
            << ", \"forceY\": " << numberJson(t.forceY())
            << ", \"force\": " << numberJson(t.force())
            << ", \"direction\": " << numberJson(t.direction())
            << ", \"effectiveAngle\": " << numberJson(t.effectiveAngle()) << "}";
    }
    out << (thrusters.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void writeSolveError(std::ostream& out, const std::string& text) {
    out << "{\"error\": " << stringJson(text) << "}\n";
}

}  // namespace kestrom_sim
