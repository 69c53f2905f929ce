// DoubleVector: checked access, reductions and element-wise arithmetic.
#include "mathlib/DoubleVector.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "mathlib/FixedTextError.h"

DoubleVector::DoubleVector(int n, double value) {
    if (n < 0) {
        throw std::length_error("DoubleVector: negative length");
    }
    v_.assign(static_cast<std::size_t>(n), value);
}

double DoubleVector::operator()(unsigned int i) const {
    if (i >= v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator(). Index out of bounds.");
    }
    return v_[i];
}

double& DoubleVector::operator()(unsigned int i) {
    if (i >= v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator(). Index out of bounds.");
    }
    return v_[i];
}

double DoubleVector::operator[](unsigned int i) const {
    if (i >= v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator[]. Index out of bounds.");
    }
    return v_[i];
}

void DoubleVector::setEl(unsigned int i, double value) {
    if (i < v_.size()) {
        v_[i] = value;
    }
}

double DoubleVector::vecprod(DoubleVector w) const {
    if (w.v_.size() != v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:vecprod. Incorrect vector sizes for this "
            "operation.");
    }
    double acc = 0.0;
    for (std::size_t i = 0; i < v_.size(); ++i) {
        acc += v_[i] * w.v_[i];
    }
    return acc;
}

double DoubleVector::maxNorm() const {
    double m = 0.0;
    for (double x : v_) {
        const double a = std::fabs(x);
        if (a > m) {
            m = a;
        }
    }
    return m;
}

double DoubleVector::sum() const {
    double acc = 0.0;
    for (double x : v_) {
        acc += x;
    }
    return acc;
}

double DoubleVector::squaredNorm() const {
    double acc = 0.0;
    for (double x : v_) {
        acc += x * x;
    }
    return acc;
}

double DoubleVector::distance(const DoubleVector& w) const {
    const std::size_t n = v_.size() < w.v_.size() ? v_.size() : w.v_.size();
    double acc = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = v_[i] - w.v_[i];
        acc += d * d;
    }
    return std::sqrt(acc);
}

DoubleVector DoubleVector::operator+(const DoubleVector& w) const {
    if (w.v_.size() != v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator+. dimensions not the same");
    }
    DoubleVector out;
    out.v_.resize(v_.size());
    for (std::size_t i = 0; i < v_.size(); ++i) {
        out.v_[i] = v_[i] + w.v_[i];
    }
    return out;
}

DoubleVector DoubleVector::operator-(const DoubleVector& w) const {
    if (w.v_.size() != v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator-. dimensions not the same");
    }
    DoubleVector out;
    out.v_.resize(v_.size());
    for (std::size_t i = 0; i < v_.size(); ++i) {
        out.v_[i] = v_[i] - w.v_[i];
    }
    return out;
}

DoubleVector DoubleVector::operator*(const DoubleVector& w) const {
    if (w.v_.size() != v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator*. dimensions not the same");
    }
    DoubleVector out;
    out.v_.resize(v_.size());
    for (std::size_t i = 0; i < v_.size(); ++i) {
        out.v_[i] = v_[i] * w.v_[i];
    }
    return out;
}

DoubleVector DoubleVector::operator+(double s) const {
    DoubleVector out(*this);
    for (double& x : out.v_) {
        x = x + s;
    }
    return out;
}

DoubleVector DoubleVector::operator-(double s) const {
    DoubleVector out(*this);
    for (double& x : out.v_) {
        x = s - x;
    }
    return out;
}

DoubleVector DoubleVector::operator*(double s) const {
    DoubleVector out(*this);
    for (double& x : out.v_) {
        x = x * s;
    }
    return out;
}

DoubleVector& DoubleVector::operator+=(const DoubleVector& w) {
    const std::size_t n = v_.size() < w.v_.size() ? v_.size() : w.v_.size();
    for (std::size_t i = 0; i < n; ++i) {
        v_[i] += w.v_[i];
    }
    return *this;
}

DoubleVector& DoubleVector::operator-=(const DoubleVector& w) {
    const std::size_t n = v_.size() < w.v_.size() ? v_.size() : w.v_.size();
    for (std::size_t i = 0; i < n; ++i) {
        v_[i] -= w.v_[i];
    }
    return *this;
}

DoubleVector& DoubleVector::operator*=(const DoubleVector& w) {
    if (w.v_.size() != v_.size()) {
        throw FixedTextError(
            "Error in Class:DoubleVector Function:operator*=. dimensions not the same");
    }
    for (std::size_t i = 0; i < v_.size(); ++i) {
        v_[i] *= w.v_[i];
    }
    return *this;
}

DoubleVector& DoubleVector::operator+=(double s) {
    for (double& x : v_) {
        x += s;
    }
    return *this;
}

DoubleVector& DoubleVector::operator-=(double s) {
    for (double& x : v_) {
        x -= s;
    }
    return *this;
}

DoubleVector& DoubleVector::operator*=(double s) {
    for (double& x : v_) {
        x *= s;
    }
    return *this;
}
