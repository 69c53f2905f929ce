// What follows a solve when the demand is hard: barring thrusters that cannot take their
// thrust direction, and cutting forces back when the demand cannot be met. The channel owns
// the state these steps work on; BarringAndRescaling borrows it.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "allocation/ResultChecking.h"
#include "allocation/Shipobj.h"
#include "allocation/allocProblem.h"
#include "allocation/forceMom.h"

// Barring and rescaling on a channel's allocation state. Holds references only; make one
// where it is needed. It keeps work buffers for the barring search, so one checker reused
// for a whole search allocates once per recursion depth instead of once per trial.
class BarringAndRescaling {
  public:
    BarringAndRescaling(Shipobj& ship, allocProblem& problem, std::vector<double>& barredAngles,
                        const forceMom& demandedThrust, forceMom& generatedThrust)
        : ship_(ship),
          problem_(problem),
          barredAngles_(barredAngles),
          demandedThrust_(demandedThrust),
          generatedThrust_(generatedThrust) {}

    // When the channel's ship has barred thrusters, replaces generatedThrust and the ship's
    // thrust state with the best outcome of the barring search.
    void processBarred(const forceMom& demand);

    // Tries the first free barred thruster of `ship` at 12 directions across its range
    // (recursing for the others) and leaves `ship` in the state of the best outcome, which
    // it returns. A barred pair 0 and 1 alone goes to barMainThrusters instead.
    forceMom barThruster(const forceMom& demand, Shipobj& ship, std::vector<double> angles);

    // Fixes the directions of the two main thrusters (entries 0 and 1 of the channel's
    // barredAngles) from a solve of the two alone against what the others leave over, then
    // solves `ship` with them. Throws when `ship` has fewer than two thrusters.
    void barMainThrusters(const forceMom& demand, Shipobj& ship);

    // Cuts each thruster back to its own maximum when that keeps the total proportional to
    // the demand, else scales every thruster by the smallest cut-back factor.
    void rescale();

  private:
    // One level of the barring recursion: its angle list and its working ship.
    struct Level {
        std::vector<double> angles;
        Shipobj working;
    };

    forceMom search(const forceMom& demand, Shipobj& ship, std::size_t depth);
    Level& level(std::size_t depth);

    Shipobj& ship_;
    allocProblem& problem_;
    std::vector<double>& barredAngles_;
    const forceMom& demandedThrust_;
    forceMom& generatedThrust_;

    std::deque<Level> levels_;  // a deque: growing it keeps references to upper levels
    Shipobj mainShip_;
    std::vector<double> scaledX_;
    std::vector<double> scaledY_;
};
