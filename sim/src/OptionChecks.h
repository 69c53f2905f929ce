// Checks of numeric command-line options with messages a user reads at a glance:
// "--timeout: expected a number from 0.001 to 1000000, got 0". They run before the option's
// text is converted, so a text that is no number is named the same way.
#pragma once

#include <limits>

#include <CLI/CLI.hpp>

namespace kestrom_sim {

// A finite number within [low, high].
CLI::Validator numberIn(double low = std::numeric_limits<double>::lowest(),
                        double high = std::numeric_limits<double>::max());
// A whole number within [low, high].
CLI::Validator wholeNumberIn(long long low, long long high);

}  // namespace kestrom_sim
