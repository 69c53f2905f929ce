// DoubleVector: checked access, reductions, arithmetic and the exact failure texts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "mathlib/DoubleVector.h"

namespace {

DoubleVector vec(std::vector<double> v) {
    return DoubleVector(std::move(v));
}

std::string failureText(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

void expectValues(const DoubleVector& v, const std::vector<double>& expected) {
    EXPECT_EQ(v.values(), expected);
}

}  // namespace

// Construction, checked access and the setEl rule that ignores out-of-range indexes.
TEST(DoubleVector, ConstructionAndAccess) {
    EXPECT_EQ(DoubleVector(0, 7.0).size(), 0u);
    EXPECT_THROW(DoubleVector(-1, 7.0), std::length_error);
    DoubleVector v(3, 1.5);
    v(1) = 4.0;
    v.setEl(2, 5.0);
    v.setEl(3, 9.0);
    expectValues(v, {1.5, 4.0, 5.0});
    EXPECT_EQ(failureText([&] { v(3); }),
              "Error in Class:DoubleVector Function:operator(). Index out of bounds.");
    EXPECT_EQ(failureText([&] { static_cast<void>(v[3]); }),
              "Error in Class:DoubleVector Function:operator[]. Index out of bounds.");
    EXPECT_EQ(failureText([] { DoubleVector()(0); }),
              "Error in Class:DoubleVector Function:operator(). Index out of bounds.");
}

// Reductions on hand-worked values, NaN passed over by the maximum norm.
TEST(DoubleVector, Reductions) {
    EXPECT_EQ(vec({1, 2, 3}).vecprod(vec({4, 5, 6})), 32.0);
    EXPECT_EQ(vec({-3, 2}).maxNorm(), 3.0);
    EXPECT_EQ(DoubleVector().maxNorm(), 0.0);
    EXPECT_EQ(vec({std::nan(""), -2, 1}).maxNorm(), 2.0);
    EXPECT_EQ(vec({1, 2, 3.5}).sum(), 6.5);
    EXPECT_EQ(vec({3, 4}).squaredNorm(), 25.0);
    EXPECT_EQ(vec({1, 2, 3}).distance(vec({1, 2})), 0.0);
    EXPECT_EQ(vec({4, 6}).distance(vec({1, 2, 99})), 5.0);
    // Summed in index order: 1e16 + 1 is lost before -1e16 comes in.
    EXPECT_EQ(vec({1e16, 1, -1e16}).sum(), 0.0);
    EXPECT_EQ(failureText([] {
                  vec({1, 2}).vecprod(vec({1, 2, 3}));
              }),
              "Error in Class:DoubleVector Function:vecprod. Incorrect vector sizes for this "
              "operation.");
}

// Element-wise arithmetic, the reversed scalar minus, and operands left unchanged by a
// failed length check.
TEST(DoubleVector, Arithmetic) {
    const DoubleVector a = vec({1, 5});
    expectValues(a + vec({2, 3}), {3, 8});
    expectValues(a - vec({2, 3}), {-1, 2});
    expectValues(a * vec({2, 3}), {2, 15});
    expectValues(a + 1.0, {2, 6});
    expectValues(a - 2.0, {1, -3});
    expectValues(a * 2.0, {2, 10});

    DoubleVector three = vec({1, 2, 3});
    const DoubleVector four = vec({10, 20, 30, 40});
    EXPECT_EQ(failureText([&] { three + four; }),
              "Error in Class:DoubleVector Function:operator+. dimensions not the same");
    EXPECT_EQ(failureText([&] { three - four; }),
              "Error in Class:DoubleVector Function:operator-. dimensions not the same");
    EXPECT_EQ(failureText([&] { three* four; }),
              "Error in Class:DoubleVector Function:operator*. dimensions not the same");
    EXPECT_EQ(failureText([&] { three *= four; }),
              "Error in Class:DoubleVector Function:operator*=. dimensions not the same");
    expectValues(three, {1, 2, 3});

    three += four;
    expectValues(three, {11, 22, 33});
    three -= vec({1, 2});
    expectValues(three, {10, 20, 33});
    three *= vec({2, 0.5, 1});
    expectValues(three, {20, 10, 33});
    three += 1.0;
    three -= 2.0;
    three *= -1.0;
    expectValues(three, {-19, -9, -32});
}
