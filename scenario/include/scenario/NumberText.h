// Printing numbers so that they read back to exactly the value printed.
#pragma once

#include <string>

namespace kestrom_sim {

// The shortest decimal text that reads back to the same double ("0.1", "1e+300", "-0").
// Not-a-number and infinities give "nan", "inf" and "-inf".
std::string roundTripText(double value);
// The shortest decimal text that reads back to the same float: for the host's cell values.
std::string floatText(float value);

// As roundTripText, but JSON has no text for a non-finite number: those give "null".
std::string jsonNumber(double value);

}  // namespace kestrom_sim
