// Text for the pictures and files the tools write.
#pragma once

#include <string>

namespace kestrom_sim {

// Text safe inside XML: markup characters escaped, control characters and bytes outside
// ASCII (which may not be valid UTF-8) replaced.
std::string xmlText(const std::string& text);

// Writes text to path; throws InputError when the file cannot be written.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace kestrom_sim
