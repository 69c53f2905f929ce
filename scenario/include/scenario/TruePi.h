// Pi to double precision, for converting angles to degrees and drawing. The plug-in's own
// truncated pi (allocation/angles.h) decides its ranges and must not be used for display.
#pragma once

namespace kestrom_sim {

inline constexpr double kTruePi = 3.14159265358979323846;

}  // namespace kestrom_sim
