// Shortest round-trip printing of doubles.
#include "scenario/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace kestrom_sim {

namespace {

template <class Real>
std::string shortestText(Real value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    // Plain decimals where they stay short (800000 rather than 8e+05), exponents elsewhere;
    // either way the fewest digits that read back to the same value.
    const Real magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= Real(1e-4) && magnitude < Real(1e15));
    char buffer[64];
    const std::to_chars_result result =
        plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
              : std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) {
        return "nan";
    }
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string roundTripText(double value) {
    return shortestText(value);
}

std::string floatText(float value) {
    return shortestText(value);
}

std::string jsonNumber(double value) {
    return std::isfinite(value) ? roundTripText(value) : "null";
}

std::string quantityText(double value, const char* unit, int digits) {
    // The prefix of the value as printed: 999.99 N at 3 digits is "1 kN", not "1e+03 N".
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.*e", digits - 1, value);
    const double size = std::fabs(std::strtod(rounded, nullptr));
    const char* prefix = "";
    double scaled = value;
    if (size >= 1e6) {
        prefix = "M";
        scaled = value / 1e6;
    } else if (size >= 1e3) {
        prefix = "k";
        scaled = value / 1e3;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g %s%s", digits, scaled, prefix, unit);
    return buffer;
}

}  // namespace kestrom_sim
