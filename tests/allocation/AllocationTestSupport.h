// Independent references for the allocation tests (a 3x3 solve and the least-norm split of a
// demand over free thrusters), and a ship built from a list of thrusters.
#pragma once

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "allocation/Shipobj.h"
#include "portable/TestText.h"

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

// Gaussian elimination with partial pivoting; returns x with M x = b.
inline Vec3 solve3(Mat3 M, Vec3 b) {
    for (int c = 0; c < 3; ++c) {
        int p = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::fabs(M[r][c]) > std::fabs(M[p][c]))
                p = r;
        std::swap(M[c], M[p]);
        std::swap(b[c], b[p]);
        for (int r = c + 1; r < 3; ++r) {
            const double f = M[r][c] / M[c][c];
            for (int k = c; k < 3; ++k)
                M[r][k] -= f * M[c][k];
            b[r] -= f * b[c];
        }
    }
    Vec3 x{};
    for (int r = 2; r >= 0; --r) {
        double s = b[r];
        for (int k = r + 1; k < 3; ++k)
            s -= M[r][k] * x[k];
        x[r] = s / M[r][r];
    }
    return x;
}

// Least-norm (Fx, Fy) per thruster at (x, y) meeting sum Fx = fwd, sum Fy = swd and
// sum (x Fy - y Fx) = rot: F = At y with (A At) y = d.
inline std::vector<std::array<double, 2>> leastNorm(const std::vector<std::array<double, 2>>& arms,
                                                    double fwd, double swd, double rot) {
    Mat3 G{};
    for (const auto& [x, y] : arms)
        G = {Vec3{G[0][0] + 1, 0, G[0][2] - y}, Vec3{0, G[1][1] + 1, G[1][2] + x},
             Vec3{G[2][0] - y, G[2][1] + x, G[2][2] + x * x + y * y}};
    const Vec3 m = solve3(G, {fwd, swd, rot});
    std::vector<std::array<double, 2>> F;
    for (const auto& [x, y] : arms)
        F.push_back({m[0] - y * m[2], m[1] + x * m[2]});
    return F;
}

inline Shipobj shipOf(std::initializer_list<Thrusterobj> thrusters) {
    Shipobj ship;
    for (const Thrusterobj& t : thrusters)
        ship.addThruster(t);
    return ship;
}
