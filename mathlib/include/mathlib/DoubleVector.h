// Dense vector of doubles with checked index access and length-checked arithmetic.
// Every sum starts from 0.0 and adds its terms in index order.
#pragma once

#include <utility>
#include <vector>

class DoubleVector {
  public:
    DoubleVector() = default;
    // n copies of value; throws std::length_error for a negative n.
    DoubleVector(int n, double value);
    explicit DoubleVector(std::vector<double> values) : v_(std::move(values)) {}

    double operator()(unsigned int i) const;
    double& operator()(unsigned int i);
    double operator[](unsigned int i) const;
    // Out-of-range indexes are ignored.
    void setEl(unsigned int i, double value);

    double vecprod(DoubleVector w) const;
    // Largest |v_i|, NaN entries passed over; 0 for the empty vector.
    double maxNorm() const;
    double sum() const;
    double squaredNorm() const;
    // Euclidean distance over the indexes both vectors have.
    double distance(const DoubleVector& w) const;

    DoubleVector operator+(const DoubleVector& w) const;
    DoubleVector operator-(const DoubleVector& w) const;
    // Element-wise product.
    DoubleVector operator*(const DoubleVector& w) const;
    DoubleVector operator+(double s) const;
    // s - v_i: the scalar minus each element.
    DoubleVector operator-(double s) const;
    DoubleVector operator*(double s) const;

    // The vector forms of += and -= act on the indexes both vectors have.
    DoubleVector& operator+=(const DoubleVector& w);
    DoubleVector& operator-=(const DoubleVector& w);
    DoubleVector& operator*=(const DoubleVector& w);
    DoubleVector& operator+=(double s);
    DoubleVector& operator-=(double s);
    DoubleVector& operator*=(double s);

    unsigned int size() const { return static_cast<unsigned int>(v_.size()); }
    const double* data() const { return v_.data(); }
    double* data() { return v_.data(); }
    const std::vector<double>& values() const { return v_; }

  private:
    std::vector<double> v_;
};
