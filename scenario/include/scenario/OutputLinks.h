// The channel's output links as the host holds them after a request.
#pragma once

#include <array>
#include <string>

namespace kestrom_sim {

struct OutputLinks {
    std::array<float, 3> thrustGenerated{};  // "Thrust Generated (Fwd, Swd, Rot)"
    float energy = 0.0f;                     // "Energy Generated"
    float activeThrusters = 0.0f;            // "Number of active thrusters in previous calculation"
    std::string errorMessage;                // "Error Message"
    float error = 0.0f;                      // "Error?"
};

}  // namespace kestrom_sim
