// The two angle helpers of the model.
#include "allocation/angles.h"

#include <cmath>

double polarAngle(double x, double y) {
    if (x == 0.0) {
        return y >= 0.0 ? kHalfPi : kThreeHalfPi;
    }
    const double t = std::atan(y / x);
    if (x < 0.0) {
        return t + kPi;
    }
    if (x > 0.0) {
        return y >= 0.0 ? t : t + kTwoPi;
    }
    return t;  // x is NaN: so is t
}

double wrapMod(double value, double m) {
    if (!(m > 0.0)) {
        return 0.0;
    }
    if (value > 0.0) {
        return value - std::floor(value / m) * m;
    }
    if (value < 0.0) {
        return value + std::ceil(std::fabs(value) / m) * m;
    }
    return 0.0;
}
