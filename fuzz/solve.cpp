// The solve entry on arbitrary ships: 0 to 12 thrusters of any type with any angles,
// positions, maxima and reverse penalties (non-finite values included), any fixed-direction
// list and any component mode; then the channel's request pipeline on the same ship.
//
// Checked beyond "no crash, no sanitizer report": the returned total is the ship's total (so a
// force that is not finite shows in it), no thruster's force exceeds its maximum, and a ship of
// moderate finite values gets finite forces unless a thruster of fixed direction has a reverse
// penalty other than 1 (docs/channel.md: its efficiency then changes with the thrust and the
// minimiser may diverge). KESTROM_FUZZ_VERBOSE prints the ship.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <vector>

#include "FuzzSupport.h"
#include "allocation/BarringAndRescaling.h"
#include "allocation/RequestPipeline.h"
#include "allocation/Shipobj.h"
#include "allocation/Thrusterobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"
#include "allocation/solveAllocation.h"

namespace {

constexpr std::size_t kMaxThrusters = 12;
// Inputs no larger than this in magnitude count as moderate: nothing in the solvers may
// overflow or lose the answer to rounding with them.
constexpr double kModerate = 1.0e6;

class Values {
  public:
    explicit Values(FuzzedDataProvider& in) : in_(in) {}

    // Mostly plain numbers of a size the fuzzer picks; now and then a special value or an
    // arbitrary bit pattern.
    double next() {
        const double v = draw();
        if (!(std::isfinite(v) && std::fabs(v) <= kModerate)) {
            moderate_ = false;
        }
        return v;
    }
    double angle() {
        if (in_.ConsumeIntegralInRange<int>(0, 7) == 0) {
            return next();
        }
        return in_.ConsumeFloatingPointInRange<double>(-7.0, 7.0);
    }
    bool moderate() const { return moderate_; }

  private:
    double draw() {
        static const double kSpecial[] = {std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          0.0,
                                          -0.0,
                                          -1.0,
                                          1.0e300,
                                          -1.0e300,
                                          std::numeric_limits<double>::denorm_min(),
                                          std::numeric_limits<double>::max(),
                                          3.14159265358,
                                          6.28318530717,
                                          1.57079632679,
                                          0.01};
        switch (in_.ConsumeIntegralInRange<int>(0, 9)) {
            case 0:
                return in_.PickValueInArray(kSpecial);
            case 1:
                return in_.ConsumeFloatingPoint<double>();
            default: {
                const double scale = std::ldexp(1.0, in_.ConsumeIntegralInRange<int>(-10, 18));
                return in_.ConsumeFloatingPointInRange<double>(-scale, scale);
            }
        }
    }

    FuzzedDataProvider& in_;
    bool moderate_ = true;
};

// Whether the design promises finite forces: every thruster whose direction the list fixes
// has a reverse penalty of 1.
bool finiteForcesPromised(const Shipobj& ship, const std::vector<double>& barredAngles) {
    for (std::size_t i = 0; i < ship.thrusters().size(); ++i) {
        if (i < barredAngles.size() && barredAngles[i] != -1.0 &&
            ship.thrusters()[i].reversePenalty() != 1.0) {
            return false;
        }
    }
    return true;
}

bool sameNumber(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Values values(in);

    Shipobj ship;
    const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, kMaxThrusters);
    for (std::size_t i = 0; i < count; ++i) {
        const auto number = in.ConsumeIntegral<signed char>();
        const auto type = in.ConsumeBool() ? in.ConsumeIntegralInRange<signed char>(0, 4)
                                           : in.ConsumeIntegral<signed char>();
        const double posX = values.next();
        const double posY = values.next();
        const double maxForce = values.next();
        const double force = values.next();
        const double reversePenalty = values.next();
        const double angle = values.angle();
        const double startAngle = values.angle();
        const double maxRotation = values.angle();
        try {
            ship.addThruster(Thrusterobj(number, posX, posY, type, maxForce, force, reversePenalty,
                                         angle, startAngle, maxRotation));
        } catch (const std::exception&) {
            // The model refuses the rotation range; the channel would shut down here.
            return 0;
        }
    }

    // As the channel hands it over: one entry per table row, which may be more than the
    // ship's thrusters; -1 is free, anything else fixes the direction.
    std::vector<double> barredAngles(count + in.ConsumeIntegralInRange<std::size_t>(0, 3), -1.0);
    for (double& entry : barredAngles) {
        if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
            entry = values.angle();
        }
    }
    forceMom demand;
    demand.fwd = values.next();
    demand.swd = values.next();
    demand.rot = values.next();
    demand.extra = in.ConsumeBool() ? static_cast<double>(in.ConsumeIntegralInRange<int>(-1, 8))
                                    : values.next();

    const bool verbose = std::getenv("KESTROM_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
        std::fprintf(stderr, "demand %.17g %.17g %.17g mode %.17g\n", demand.fwd, demand.swd,
                     demand.rot, demand.extra);
        for (std::size_t i = 0; i < barredAngles.size(); ++i) {
            std::fprintf(stderr, "barredAngles[%zu] %.17g\n", i, barredAngles[i]);
        }
        for (const Thrusterobj& t : ship.thrusters()) {
            std::fprintf(
                stderr,
                "thruster %d type %d pos %.17g %.17g max %.17g force %.17g penalty %.17g angle "
                "%.17g start %.17g rotation %.17g\n",
                t.number(), t.type(), t.posX(), t.posY(), t.maxForce(), t.force(),
                t.reversePenalty(), t.angle(), t.startAngle(), t.maxRotation());
        }
    }
    const Shipobj original = ship;
    allocProblem problem;
    forceMom generated;
    try {
        generated = solveAllocation(barredAngles, demand, problem, ship);
    } catch (const std::exception&) {
        return 0;
    }
    const forceMom total = ship.totalForce();
    if (verbose) {
        for (const Thrusterobj& t : ship.thrusters()) {
            std::fprintf(stderr, "result %d: %.17g %.17g force %.17g\n", t.number(), t.forceX(),
                         t.forceY(), t.force());
        }
    }
    if (!sameNumber(generated.fwd, total.fwd) || !sameNumber(generated.swd, total.swd) ||
        !sameNumber(generated.rot, total.rot) || !sameNumber(generated.extra, total.extra)) {
        kestrom_fuzz::fail("solveAllocation does not return the ship's total force");
    }
    if (values.moderate()) {
        const bool finitePromised = finiteForcesPromised(ship, barredAngles);
        for (const Thrusterobj& t : ship.thrusters()) {
            if (finitePromised && (!std::isfinite(t.forceX()) || !std::isfinite(t.forceY()))) {
                kestrom_fuzz::fail("a ship promised finite forces got one that is not finite");
            }
            if (t.force() > t.maxForce() * (1.0 + 1.0e-12)) {
                kestrom_fuzz::fail("a thruster's force exceeds its maximum");
            }
        }
    }

    // The request pipeline on the original ship, as the channel's worker runs it, on a
    // demand raised as the channel raises it. The barring search costs 12 solves per free
    // barred thruster and level: bar only when few are free.
    const forceMom demanded = raisedDemand(demand);
    Shipobj requestShip = original;
    allocProblem requestProblem;
    // A thruster of limited rotation may become barred at any level of the search: count
    // every free one, not only those barred after the first solve.
    std::size_t freeLimited = 0;
    for (std::size_t i = 0; i < requestShip.thrusters().size(); ++i) {
        if (hasRotationLimit(requestShip.thrusters()[i].type()) && i < barredAngles.size() &&
            barredAngles[i] == -1.0) {
            ++freeLimited;
        }
    }
    const bool fewFreeBarred = freeLimited <= (count <= 6 ? 2u : 1u);
    const int actionInExtrema =
        in.ConsumeBool() ? pipeline::kRescaleAction : in.ConsumeIntegralInRange<int>(-1, 8);
    try {
        BarringAndRescaling checker(requestShip, requestProblem, barredAngles, demanded, generated);
        const RequestState state{requestShip, requestProblem, barredAngles,
                                 demanded,    generated,      actionInExtrema};
        runRequestPipeline(
            state,
            [&](const forceMom& request) {
                if (fewFreeBarred) {
                    checker.processBarred(request);
                }
            },
            meetsDemand, [&] { checker.rescale(); });
    } catch (const std::exception&) {
        return 0;
    }
    return 0;
}
