// The physical limit (GLPK) on arbitrary reaches: 0 to 10 thrusters of any shape with forces
// and arms from 1e-30 to 1e30 (the scale the fuzzer picks, now and then a special value), in
// any direction, with any moment.
//
// Checked beyond "no crash, no sanitizer report, no abort inside GLPK": a limit is never
// negative and never above the sum of the maxima (plus the polygons' stated error); a zero
// moment is always held (every force 0 holds it); GLPK's
// failures come back as PhysicalLimitFailure, after which the limit is refused for good; a
// reach that is not finite is refused at construction.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "FuzzSupport.h"
#include "capability/PhysicalLimit.h"

namespace {

using kestrom_sim::PhysicalLimit;
using kestrom_sim::PhysicalLimitFailure;
using kestrom_sim::ThrusterReach;

constexpr std::size_t kMaxThrusters = 10;
constexpr int kMaxQuestions = 6;

double value(FuzzedDataProvider& in, bool& finite) {
    static const double kSpecial[] = {std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      0.0,
                                      -0.0,
                                      1e-300,
                                      3.4028234663852886e38,
                                      1e-20};
    double v = 0.0;
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0) {
        v = in.PickValueInArray(kSpecial);
    } else {
        const double scale = std::ldexp(1.0, in.ConsumeIntegralInRange<int>(-100, 100));
        v = in.ConsumeFloatingPointInRange<double>(-scale, scale);
    }
    finite = finite && std::isfinite(v);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<ThrusterReach> reaches(in.ConsumeIntegralInRange<std::size_t>(0, kMaxThrusters));
    bool finite = true;
    double total = 0.0;
    for (ThrusterReach& r : reaches) {
        r.shape = static_cast<ThrusterReach::Shape>(in.ConsumeIntegralInRange<int>(0, 2));
        r.maxForce = std::fabs(value(in, finite));
        r.angle = in.ConsumeFloatingPointInRange<double>(-7.0, 7.0);
        r.halfWidth = in.ConsumeFloatingPointInRange<double>(0.0, 1.5);
        r.posX = value(in, finite);
        r.posY = value(in, finite);
        total += r.maxForce;
    }
    const bool verbose = std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
        for (const ThrusterReach& r : reaches) {
            std::fprintf(
                stderr, "reach shape %d max %.17g angle %.17g half %.17g pos %.17g %.17g\n",
                static_cast<int>(r.shape), r.maxForce, r.angle, r.halfWidth, r.posX, r.posY);
        }
    }
    std::optional<PhysicalLimit> limit;
    try {
        limit.emplace(reaches);
    } catch (const std::invalid_argument&) {
        if (finite) {
            kestrom_fuzz::fail("finite reaches refused");
        }
        return 0;
    }
    if (!finite) {
        kestrom_fuzz::fail("a reach that is not finite accepted");
    }
    bool failed = false;
    for (int k = in.ConsumeIntegralInRange<int>(1, kMaxQuestions); k > 0; --k) {
        const double direction = in.ConsumeFloatingPointInRange<double>(-7.0, 7.0);
        bool momentFinite = true;
        const double moment = in.ConsumeBool() ? 0.0 : value(in, momentFinite);
        if (!momentFinite) {
            continue;
        }
        std::optional<double> largest;
        try {
            largest = limit->largest(direction, moment);
        } catch (const PhysicalLimitFailure&) {
            failed = true;
            continue;
        }
        if (verbose) {
            std::fprintf(stderr, "direction %.17g moment %.17g: %.17g%s\n", direction, moment,
                         largest.value_or(-1.0), largest ? "" : " (no setting)");
        }
        if (failed) {
            // GLPK's environment was freed: the limit may only refuse from then on, unless
            // the failure was an iteration limit, which leaves it usable.
            continue;
        }
        if (moment == 0.0 && !largest) {
            kestrom_fuzz::fail("no setting holds a zero moment, although all forces 0 do");
        }
        if (largest &&
            !(*largest >= 0.0 &&
              *largest <= total * (1.0 + kestrom_sim::kPolygonErrorBound) * 1.000001 + 1e-300)) {
            kestrom_fuzz::fail("a limit below 0 or above the sum of the maxima");
        }
    }
    return 0;
}
