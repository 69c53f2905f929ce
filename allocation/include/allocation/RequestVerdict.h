// Whether a thrust gives the vessel what was asked: the tools' verdict on a published table.
// It is independent of the channel's own check (relative 0.1 % per component), which decides
// only whether the worker tries something else; see docs/channel.md.
#pragma once

#include <array>
#include <vector>

#include "allocation/Shipobj.h"
#include "allocation/ThrusterRow.h"
#include "allocation/forceMom.h"

inline constexpr double kDefaultVerdictTolerance = 0.01;
// A demanded component counts as significant from this share of the demand's scale.
inline constexpr double kSignificantShare = 0.1;

struct RequestVerdict {
    bool met = false;
    forceMom shortfall;                 // demand minus thrust; extra 0
    std::array<bool, 3> missed = {};    // fwd, swd, rot beyond their bound (met: none)
    std::array<bool, 3> opposite = {};  // fwd, swd, rot pushed against a significant demand
    double scale = 0.0;                 // F: the demand's force scale in newtons
};

// The largest distance of a thruster of the ship from the reference point (0 without any).
double largestArm(const Shipobj& ship);
// The same over the active rows of a table, from their position cells (forward arm z,
// sideways arm x), as the channel would build its ship from them.
double largestArm(const std::vector<ThrusterRow>& rows);

// Met when |dfwd| <= tol*F, |dswd| <= tol*F and |drot| <= tol*F*arm, where
// F = max(sqrt(fwd*fwd + swd*swd), |rot|/arm, 1 N) of the demand (the moment term only
// when arm > 0); a component the channel raises (raisedDemand) may differ by its raise more.
// A NaN anywhere is a miss.
RequestVerdict judgeThrust(const forceMom& demand, const forceMom& thrust, double arm,
                           double tolerance = kDefaultVerdictTolerance);
