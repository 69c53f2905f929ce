// A force-and-moment record: a thrust request or a thrust result.
#pragma once

struct forceMom {
    double fwd = 0.0;  // along the ship's forward axis
    double swd = 0.0;  // sideways
    double rot = 0.0;  // turning moment about the reference point
    // In a request: the component mode (which of fwd, swd, rot must be met).
    // In a result: the energy, the sum of the thrusters' force magnitudes.
    double extra = 0.0;

    forceMom() = default;
    forceMom(double fwd_, double swd_, double rot_, double extra_)
        : fwd(fwd_), swd(swd_), rot(rot_), extra(extra_) {}
};
