// Angle constants and helpers used by every angle computation of the model.
// The truncated decimals are deliberate: range bounds, wrap-around and the rotation
// limit are defined in terms of exactly these values, not of the true pi.
#pragma once

constexpr double kPi = 3.14159265358;
constexpr double kTwoPi = 6.28318530717;
constexpr double kHalfPi = 1.57079632679;
constexpr double kThreeHalfPi = 4.71238898037;

// Angle of the plane vector (x, y) in [0, 2pi).
double polarAngle(double x, double y);

// value wrapped into [0, m); 0 for m <= 0 and for NaN.
double wrapMod(double value, double m);
