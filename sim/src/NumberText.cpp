// Shortest round-trip printing of doubles.
#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kestrom_sim {

std::string roundTripText(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    // 32 characters hold the longest shortest form ("-2.2250738585072014e-308").
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) {
        return "nan";
    }
    return std::string(buffer, result.ptr);
}

std::string jsonNumber(double value) {
    return std::isfinite(value) ? roundTripText(value) : "null";
}

}  // namespace kestrom_sim
