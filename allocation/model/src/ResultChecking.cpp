// The result check and the outcome difference.
#include "allocation/ResultChecking.h"

#include <cmath>

bool checkresult(double requested, double achieved, double threshold, double tolerance) {
    double error;
    if (std::fabs(requested) >= threshold) {
        error = std::fabs((requested - achieved) / requested);
    } else {
        error = std::fabs(requested - achieved);
    }
    return error < tolerance;
}

bool checkresult(const forceMom& requested, const forceMom& achieved, double threshold,
                 double tolerance) {
    return checkresult(requested.fwd, achieved.fwd, threshold, tolerance) &&
           checkresult(requested.swd, achieved.swd, threshold, tolerance) &&
           checkresult(requested.rot, achieved.rot, threshold, tolerance);
}

double getDiff(const forceMom& a, const forceMom& b) {
    return std::fabs(a.fwd - b.fwd) + std::fabs(a.swd - b.swd) + std::fabs(a.rot - b.rot);
}
