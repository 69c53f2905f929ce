// Numeric option checks: the text is read with strtod/strtoll as a whole, then bounded.
#include "OptionChecks.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "scenario/NumberText.h"

namespace kestrom_sim {

namespace {

// "" when every bound is the type's own (no range worth naming).
std::string rangeText(const std::string& low, const std::string& high, bool bounded) {
    return bounded ? " from " + low + " to " + high : "";
}

}  // namespace

CLI::Validator numberIn(double low, double high) {
    const bool bounded =
        low != std::numeric_limits<double>::lowest() || high != std::numeric_limits<double>::max();
    const std::string expected =
        "expected a number" + rangeText(roundTripText(low), roundTripText(high), bounded);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const double value = std::strtod(text.c_str(), &end);
            const bool read = !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
            return read && value >= low && value <= high ? "" : expected + ", got " + text;
        },
        "NUMBER");
}

CLI::Validator wholeNumberIn(long long low, long long high) {
    const std::string expected =
        "expected a whole number" + rangeText(std::to_string(low), std::to_string(high), true);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            const bool read = !text.empty() && *end == '\0' && errno == 0;
            return read && value >= low && value <= high ? "" : expected + ", got " + text;
        },
        "INTEGER");
}

}  // namespace kestrom_sim
