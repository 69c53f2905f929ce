// How the energy minimiser carries one thruster's force, decided by its fixed angle: free
// (both components are variables), or fixed along the angle and carried by its forward or
// its sideways component.
#pragma once

// How a thruster's force is carried by the variables, from its fixed angle v.
enum class ThrusterKind { free, forwardCarried, sidewaysCarried };

// Kind and trigonometric values of a thruster's fixed angle (all 0 for a free thruster).
struct DirectionTerms {
    ThrusterKind kind = ThrusterKind::free;
    double cosv = 0.0;
    double sinv = 0.0;
    double tanv = 0.0;
};

// Below this |cos v| a fixed-direction thruster is carried by its sideways variable; the
// same bound on |cos v| and |sin v| decides whether its energy entries are kept.
inline constexpr double kCarryLimit = 0.01;

// The terms of fixed angle v; negative and NaN angles leave the thruster free.
DirectionTerms directionTerms(double v);
