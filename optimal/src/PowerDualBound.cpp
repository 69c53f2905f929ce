// The closed forms of each row's minimum of (|f| / eta)^(3/2) - c' f.
#include "PowerDualBound.h"

#include <algorithm>
#include <cmath>

namespace optimal {

namespace {

// min over 0 <= r <= reach of r^(3/2) - a r: at r = (2a / 3)^2 if that is within reach.
double radialMinimum(double a, double reach) {
    if (a <= 0.0) {
        return 0.0;
    }
    const double r = (2.0 * a / 3.0) * (2.0 * a / 3.0);
    if (r <= reach) {
        return -4.0 * a * a * a / 27.0;
    }
    return reach * std::sqrt(reach) - a * reach;
}

// Scaled multipliers are of order one: no need for hypot's care.
double length(const double* c) {
    return std::sqrt(c[0] * c[0] + c[1] * c[1]);
}

// min over 0 <= s <= reach of (s / eta)^(3/2) - c s.
double partMinimum(double c, double reach, double eta) {
    return radialMinimum(c * eta, reach / eta);
}

// The largest c' u over unit u within the row's sector (the start angle's, or its opposite).
double alongSector(const RowModel& r, Sector sector, double cx, double cy) {
    const double sign = sector == Sector::reverse ? -1.0 : 1.0;
    const double along = sign * (cx * r.axis[0] + cy * r.axis[1]);
    const double across = cy * r.axis[0] - cx * r.axis[1];
    const double norm = std::sqrt(cx * cx + cy * cy);
    if (along >= norm * r.halfWidthCos) {
        return norm;  // c points into the sector
    }
    return along * r.halfWidthCos + std::fabs(across) * r.halfWidthSin;  // the nearer edge
}

}  // namespace

PowerDualBound::PowerDualBound(const VesselModel& model)
    : model_(model),
      free_(static_cast<std::size_t>(model.variableCount())),
      pulled_(static_cast<std::size_t>(model.variableCount())),
      offset_(static_cast<std::size_t>(model.rowCount())) {}

double PowerDualBound::rowBound(const RowModel& r, Sector choice, const double* free,
                                const double* pulled, double offset) const {
    switch (r.shape) {
        case AttainableSet::Shape::segment:  // the box holds the row's set exactly
            return partMinimum(free[0], r.reach, 1.0) +
                   partMinimum(free[1], r.reach, r.reverseEfficiency);
        case AttainableSet::Shape::doubleSector:
            if (choice != Sector::hull) {
                return std::max(
                    radialMinimum(alongSector(r, choice, free[0], free[1]), r.reach),
                    radialMinimum(alongSector(r, choice, pulled[0], pulled[1]), r.reach) - offset);
            }
            break;
        case AttainableSet::Shape::disc:
            break;
    }
    return std::max(radialMinimum(length(free), r.reach),
                    radialMinimum(length(pulled), r.reach) - offset);
}

double PowerDualBound::operator()(const Eigen::Vector3d& target, const std::vector<Sector>& choices,
                                  const Eigen::VectorXd& y, const std::vector<int>& ids,
                                  const std::vector<double>& mu) {
    const Eigen::MatrixXd& B = model_.thrustMap();
    const int n = model_.variableCount();
    for (int v = 0; v < n; ++v) {
        free_[static_cast<std::size_t>(v)] = -B.col(v).dot(y);
    }
    pulled_ = free_;
    std::fill(offset_.begin(), offset_.end(), 0.0);
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const double m = std::max(mu[k], 0.0);
        const PairConstraint& c = model_.universe()[static_cast<std::size_t>(ids[k])];
        pulled_[static_cast<std::size_t>(c.i0)] -= m * c.a0;
        if (c.i1 >= 0) {
            pulled_[static_cast<std::size_t>(c.i1)] -= m * c.a1;
        }
        offset_[static_cast<std::size_t>(c.i0 / 2)] += m * c.b;
    }
    double bound = -y.dot(target);
    std::size_t sector = 0;
    for (int i = 0; i < model_.rowCount(); ++i) {
        const RowModel& r = model_.row(i);
        const Sector choice =
            r.shape == AttainableSet::Shape::doubleSector ? choices[sector++] : Sector::hull;
        bound += rowBound(r, choice, &free_[static_cast<std::size_t>(2 * i)],
                          &pulled_[static_cast<std::size_t>(2 * i)],
                          offset_[static_cast<std::size_t>(i)]);
    }
    return bound;
}

}  // namespace optimal
