// The physical limit of a vessel's thrusters: the largest horizontal force any setting of
// the thrusters within their limits produces in a direction, with a given yaw moment held.
// A linear (mixed-integer) programme solved with GLPK.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "allocation/AttainableSet.h"
#include "allocation/Shipobj.h"

namespace kestrom_sim {

// Discs and circular arcs are replaced by polygons of this many sides per full turn,
// circumscribed so that the limit is never underestimated: it exceeds the exact one by at
// most kPolygonErrorBound (relative).
inline constexpr int kPolygonSides = 64;
extern const double kPolygonErrorBound;  // 1 / cos(pi / kPolygonSides) - 1

// What one thruster can push: the attainable sets every allocator is measured against.
using ThrusterReach = AttainableSet;

// The reach of every thruster of the ship, in ship order.
std::vector<ThrusterReach> thrusterReaches(const Shipobj& ship);

// GLPK could not solve the programme within its iteration limits, or stopped on an internal
// error; the PhysicalLimit cannot be used any more after the latter.
class PhysicalLimitFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PhysicalLimit {
  public:
    // Throws std::invalid_argument for a reach with a value that is not finite or a negative
    // maximum force.
    explicit PhysicalLimit(const std::vector<ThrusterReach>& reaches);
    ~PhysicalLimit();
    PhysicalLimit(const PhysicalLimit&) = delete;
    PhysicalLimit& operator=(const PhysicalLimit&) = delete;

    // The largest t >= 0 such that some setting produces fwd = t cos(direction),
    // swd = t sin(direction) and the moment `moment` (the sign rule of "Thrust Generated");
    // empty when no setting holds that moment at all. Throws PhysicalLimitFailure when GLPK
    // does not finish; its work is bounded by iteration counts, so the answer is the same on
    // every run. GLPK keeps one environment per thread: one PhysicalLimit per thread at a time.
    std::optional<double> largest(double direction, double moment);
    // Whether some setting holds `moment` without any force; a zero moment always. Throws
    // PhysicalLimitFailure as largest does.
    bool holds(double moment);

  private:
    std::optional<double> solve(double moment);
    struct Programme;
    std::unique_ptr<Programme> programme_;
};

}  // namespace kestrom_sim
