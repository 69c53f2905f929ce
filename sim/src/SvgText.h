// Text for the pictures the tools draw.
#pragma once

#include <string>

namespace kestrom_sim {

// Text safe inside XML: markup characters escaped, control characters and bytes outside
// ASCII (which may not be valid UTF-8) replaced.
std::string xmlText(const std::string& text);

}  // namespace kestrom_sim
