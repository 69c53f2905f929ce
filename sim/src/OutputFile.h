// The tool's output files: checked before anything is computed, written whole at the end.
#pragma once

#include <string>

namespace kestrom_sim {

// Throws InputError (the path, the option that named it, the reason) when path is a
// directory, exists as something other than a regular file (a pipe, a device) or cannot be
// opened for writing; leaves no new file behind.
void checkOutputPath(const std::string& path, const std::string& option);

// Writes text to path; throws InputError when the file cannot be written.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace kestrom_sim
