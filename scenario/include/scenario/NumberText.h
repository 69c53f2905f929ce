// Printing numbers so that they read back to exactly the value printed.
#pragma once

#include <string>

namespace kestrom_sim {

// The shortest decimal text that reads back to the same double ("0.1", "1e+300", "-0").
// Not-a-number and infinities give "nan", "inf" and "-inf".
std::string roundTripText(double value);
// The shortest decimal text that reads back to the same float: for the host's cell values.
std::string floatText(float value);

// A force or moment for reading, not for reading back: `digits` significant digits and an SI
// prefix from 1000 on ("27.94 MN m", "-0.0115 N", "850 kN").
std::string quantityText(double value, const char* unit, int digits = 4);

// As roundTripText, but JSON has no text for a non-finite number: those give "null".
std::string jsonNumber(double value);

}  // namespace kestrom_sim
