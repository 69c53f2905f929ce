// Independent references for the allocation tests (a 3x3 solve and the least-norm split of a
// demand over free thrusters), and a ship built from a list of thrusters.
#pragma once

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "allocation/Shipobj.h"
#include "portable/TestText.h"

// What the model says of a rotation range above a full turn: the text that a rejected row's
// shutdown and the tools pass on (ModelTest checks its wording).
inline std::string rejectedRotationText() {
    return failureText([] { Thrusterobj(0, 0.0, 0.0, 2, 1.0, 0.0, 0.1, 0.0, 0.0, 7.0); });
}

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

inline double det3(const Mat3& M) {
    return M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) -
           M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
           M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
}

// Cramer's rule: x with M x = b, x_k = det(M with column k replaced by b) / det M.
inline Vec3 solve3(const Mat3& M, const Vec3& b) {
    Vec3 x{};
    for (int k = 0; k < 3; ++k) {
        Mat3 Mk = M;
        for (int r = 0; r < 3; ++r)
            Mk[r][k] = b[r];
        x[k] = det3(Mk) / det3(M);
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
