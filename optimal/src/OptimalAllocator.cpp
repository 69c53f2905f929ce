// The request: checks at the boundary, the three priorities, publication and the state kept
// for the next request.
#include "optimal/OptimalAllocator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "NodeProblems.h"
#include "SectorSearch.h"
#include "VesselModel.h"
#include "allocation/RequestVerdict.h"
#include "allocation/ThrusterType.h"
#include "allocation/angles.h"

namespace optimal {

std::string rowRefusal(const Thrusterobj& t) {
    const std::pair<double, const char*> cells[] = {{t.posX(), "forward arm"},
                                                    {t.posY(), "sideways arm"},
                                                    {t.maxForce(), "maximum force"},
                                                    {t.startAngle(), "start angle"},
                                                    {t.angle(), "angle"}};
    for (const auto& [value, cell] : cells) {
        if (!std::isfinite(value)) {
            return std::string(cell) + " is not a finite number";
        }
    }
    if (t.maxForce() == 0.0) {
        return "maximum force is 0";
    }
    if (hasFixedDirection(t.type()) &&
        !(t.reversePenalty() > 0.0 && std::isfinite(t.reversePenalty()))) {
        return "reverse penalty is not a positive number";
    }
    return {};
}

namespace {

// Table rows the model can address (its row number is a signed char).
constexpr std::size_t kRowSlots = 256;
// A force below this share of its row's maximum is written as zero, at the held angle.
constexpr double kZeroForceShare = 1e-12;
// A moment clamped to its limit is moved this share of the moment range inside, so that the
// equality does not sit exactly on a vertex of the polygons.
constexpr double kLimitInset = 1e-9;
constexpr double kFullTurn = 4.0 * kTrueRightAngle;
// Directions less than this above 0 are written as 0 (below, angleCell).
constexpr double kZeroDirectionSnap = 0x1p-24;
// A two-sector row's direction this close to a range bound (radians) is written as the bound.
constexpr double kRangeEdgeSnap = 1e-9;

std::size_t slot(const Thrusterobj& t) {
    return static_cast<unsigned char>(t.number());
}

void checkInput(const Shipobj& ship, const forceMom& demand) {
    if (ship.count() == 0) {
        throw std::invalid_argument("optimal allocator: no active row");
    }
    for (const Thrusterobj& t : ship.thrusters()) {
        const std::string refusal = rowRefusal(t);
        if (!refusal.empty()) {
            throw std::invalid_argument("optimal allocator: row " + std::to_string(t.number()) +
                                        ": " + refusal);
        }
    }
    if (!std::isfinite(demand.fwd) || !std::isfinite(demand.swd) || !std::isfinite(demand.rot)) {
        throw std::invalid_argument("optimal allocator: the demand is not finite");
    }
}

// What decides the model: rows, their sets and the polygon size.
std::vector<double> structureOf(const Shipobj& ship, int polygonSides) {
    std::vector<double> s{static_cast<double>(polygonSides)};
    for (const Thrusterobj& t : ship.thrusters()) {
        s.insert(s.end(),
                 {static_cast<double>(t.number()), static_cast<double>(t.type()), t.maxForce(),
                  t.posX(), t.posY(), t.startAngle(), t.maxRotation(), t.reversePenalty()});
    }
    return s;
}

// The angle cell of a direction in [0, 2pi). 2pi itself is no float: a direction less than
// 6.4e-8 below it would round up to the cell 1.7e-7 beyond, and is written as 0, the nearer
// cell. Just above 0 the cells lie ever closer: a direction less than 2^-24 (6e-8) above 0 is
// written as 0 too. So a force along the zero direction (a range edge at 0, a polygon vertex) is
// written as 0 on whichever side of it the last bit of a solve leaves it; that bit follows the C
// library's sin and cos, which differ between systems.
float angleCell(double direction) {
    const float cell = static_cast<float>(direction);
    if (static_cast<double>(cell) >= kFullTurn || direction < kZeroDirectionSnap) {
        return 0.0f;
    }
    return cell;
}

// A two-sector row's angle: its direction (turned into the range when reversed), or the range
// bound when the direction lies on it or beyond it by rounding. The optimum often holds a row
// on an edge of its sector, and a bound computed from two float cells (start angle minus
// rotation) can lie exactly halfway between two float angles, or at 0: the last bit of the
// solve, which follows the C library's sin and cos, would pick the cell.
double angleInRange(const Thrusterobj& t, double direction) {
    const double offset = wrapMod(direction - t.startAngle() + kPi, kTwoPi) - kPi;
    if (offset <= kRangeEdgeSnap - t.maxRotation()) {
        return t.lowerAngle();
    }
    if (offset >= t.maxRotation() - kRangeEdgeSnap) {
        return t.upperAngle();
    }
    return direction;
}

PublishedRow publish(const Thrusterobj& t, const RowModel& r, double scale, double a, double b,
                     Sector sector) {
    PublishedRow row;
    row.row = t.number();
    row.angle = static_cast<float>(t.angle());
    if (r.shape == AttainableSet::Shape::segment) {
        const double force = std::clamp(scale * (a - b), -t.maxForce(), t.maxForce());
        row.force = static_cast<float>(force);
        row.angle = static_cast<float>(r.centre);
        return row;
    }
    const double x = scale * a;
    const double y = scale * b;
    const double magnitude = std::min(std::hypot(x, y), t.maxForce());
    if (magnitude <= kZeroForceShare * t.maxForce()) {
        row.force = 0.0f;
        return row;  // no thrust: the angle is held
    }
    bool reversed = sector == Sector::reverse;
    if (r.shape == AttainableSet::Shape::disc && hasRotationLimit(t.type())) {
        // A wide range: the direction or its reverse lies in it; publish the one that does.
        Thrusterobj turned = t;
        turned.setForce(x, y);
        reversed = turned.rangeStatus(0.0) == kOppositeInRange;
    }
    row.force = static_cast<float>(reversed ? -magnitude : magnitude);
    const double direction = reversed ? polarAngle(-x, -y) : polarAngle(x, y);
    row.angle = angleCell(r.shape == AttainableSet::Shape::doubleSector ? angleInRange(t, direction)
                                                                        : direction);
    return row;
}

double rowPower(const Thrusterobj& t, float force) {
    double eta = 1.0;
    if (hasFixedDirection(t.type()) && force < 0.0f) {
        eta = t.reversePenalty();
    }
    return std::pow(std::fabs(static_cast<double>(force)) / eta, 1.5);
}

}  // namespace

struct OptimalAllocator::State {
    OptimalSettings settings;
    std::vector<double> structure;
    // Built from the rows alone and never changed: copies of the state share it.
    std::shared_ptr<const VesselModel> model;
    AllocationStats unused;  // the node problems count into each request's own stats
    std::unique_ptr<NodeProblems> problems;  // built with the model, its buffers kept
    std::vector<int> active;                 // universe indexes of the last request's active set
    // Per table row: the last sector (hull: none) and stored-frame force in newtons
    // (segments: forward and reverse parts).
    std::array<Sector, kRowSlots> sector;
    std::array<std::array<double, 2>, kRowSlots> force;

    State() = default;
    // A copy shares the model and builds node problems of its own: they hold buffers and
    // refer to their state's settings.
    State(const State& other)
        : settings(other.settings),
          structure(other.structure),
          model(other.model),
          problems(model ? std::make_unique<NodeProblems>(*model, settings, unused) : nullptr),
          active(other.active),
          sector(other.sector),
          force(other.force) {}
    State& operator=(const State&) = delete;

    // The model depends on the rows alone and is kept.
    void forget() {
        active.clear();
        sector.fill(Sector::hull);
        for (auto& f : force) {
            f = {0.0, 0.0};
        }
    }
};

OptimalAllocator::OptimalAllocator(const OptimalSettings& settings)
    : state_(std::make_unique<State>()) {
    state_->settings = settings;
    state_->forget();
}

OptimalAllocator::OptimalAllocator(const OptimalAllocator& other)
    : state_(std::make_unique<State>(*other.state_)) {}

OptimalAllocator::~OptimalAllocator() = default;

void OptimalAllocator::reset() {
    state_->forget();
}

namespace {

struct Outcome {
    std::vector<Sector> sectors;
    Eigen::VectorXd x;
    std::vector<int> active;
    int stage = 0;
};

// The three priorities, each a sector search.
Outcome solveStages(const VesselModel& model, NodeProblems& problems,
                    const OptimalSettings& settings, const Eigen::Vector3d& demand,
                    const std::vector<Sector>& previous, const NodeOutcome& seed,
                    AllocationStats& stats) {
    problems.countInto(stats);
    const SearchLimits keepSectors{settings.nodeCap, settings.switchMargin};
    const SearchLimits strict{settings.nodeCap, 0.0};
    const auto powerFor = [&](const Eigen::Vector3d& target) {
        return [&problems, target](const std::vector<Sector>& c, const NodeOutcome& p,
                                   double threshold,
                                   NodeOutcome& o) { problems.power(target, c, p, o, threshold); };
    };
    const auto record = [&stats](const SearchResult& r) {
        stats.nodes += r.nodes;
        stats.nodeCapReached = stats.nodeCapReached || r.capped;
    };

    double low = 0.0;
    double high = 0.0;
    model.momentRange(low, high);
    Eigen::Vector3d target = demand;
    const double inset = kLimitInset * (high - low);
    if (demand(2) > high - inset || demand(2) < low + inset) {
        target(2) = std::clamp(demand(2), low + inset, high - inset);
    }
    Outcome out;
    out.stage = target(2) == demand(2) ? 1 : 2;
    SearchResult found = searchSectors(model, previous, seed, powerFor(target), keepSectors);
    record(found);
    if (!found.found) {
        out.stage = 3;
        const NodeEvaluator residual =
            [&problems, &target](const std::vector<Sector>& c, const NodeOutcome& p, double,
                                 NodeOutcome& o) { problems.forceResidual(target, c, p, o); };
        const SearchResult closest = searchSectors(model, previous, seed, residual, strict);
        record(closest);
        if (!closest.found) {
            out.sectors.assign(model.sectorRows().size(), Sector::forward);
            out.x = Eigen::VectorXd::Zero(model.variableCount());
            return out;  // nothing solved within the caps: no thrust
        }
        const Eigen::Vector3d reached = model.thrustMap() * closest.outcome.x;
        target.head(2) = reached.head(2);
        found = searchSectors(model, previous, closest.outcome, powerFor(target), keepSectors);
        record(found);
        if (!found.found) {
            found = closest;  // least power given both failed to solve: keep the closest
        }
    }
    out.sectors = found.sectors;
    out.x = found.outcome.x;
    out.active = found.outcome.active;
    return out;
}

}  // namespace

OptimalAllocation OptimalAllocator::allocate(const Shipobj& ship, const forceMom& demand) {
    checkInput(ship, demand);
    State& s = *state_;
    std::vector<double> structure = structureOf(ship, s.settings.polygonSides);
    if (structure != s.structure || !s.model) {
        s.problems.reset();
        s.model = std::make_shared<const VesselModel>(ship, s.settings.polygonSides);
        s.problems = std::make_unique<NodeProblems>(*s.model, s.settings, s.unused);
        s.structure = std::move(structure);
        s.active.clear();
    }
    const VesselModel& model = *s.model;
    const double forceScale = model.forceScale();

    NodeOutcome seed;
    seed.x.resize(model.variableCount());
    for (int i = 0; i < model.rowCount(); ++i) {
        const std::array<double, 2>& f = s.force[slot(ship.thruster(static_cast<unsigned>(i)))];
        seed.x(2 * i) = f[0] / forceScale;
        seed.x(2 * i + 1) = f[1] / forceScale;
    }
    seed.active = s.active;
    std::vector<Sector> previous;
    previous.reserve(model.sectorRows().size());
    for (const int row : model.sectorRows()) {
        previous.push_back(s.sector[slot(ship.thruster(static_cast<unsigned>(row)))]);
    }
    const Eigen::Vector3d scaledDemand(demand.fwd / forceScale, demand.swd / forceScale,
                                       demand.rot / (forceScale * model.armScale()));

    OptimalAllocation result;
    const Outcome outcome =
        solveStages(model, *s.problems, s.settings, scaledDemand, previous, seed, result.stats);
    result.stats.stage = outcome.stage;

    std::size_t sectorIndex = 0;
    result.rows.reserve(static_cast<std::size_t>(model.rowCount()));
    for (int i = 0; i < model.rowCount(); ++i) {
        const Thrusterobj& t = ship.thruster(static_cast<unsigned>(i));
        const RowModel& r = model.row(i);
        Sector sector = Sector::forward;
        if (r.shape == AttainableSet::Shape::doubleSector) {
            sector = outcome.sectors[sectorIndex++];
            s.sector[slot(t)] = sector;
        }
        const double a = outcome.x(2 * i);
        const double b = outcome.x(2 * i + 1);
        s.force[slot(t)] = {a * forceScale, b * forceScale};
        const PublishedRow row = publish(t, r, forceScale, a, b, sector);
        result.rows.push_back(row);
        result.power += rowPower(t, row.force);
    }
    s.active = outcome.active;
    result.thrust = publishedThrust(ship, result.rows);
    const RequestVerdict verdict =
        judgeThrust(demand, result.thrust, largestArm(ship), kMetTolerance);
    result.met = verdict.met;
    result.shortfall = verdict.shortfall;
    return result;
}

}  // namespace optimal
