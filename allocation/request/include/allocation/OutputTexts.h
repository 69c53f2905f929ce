// The texts the channel writes to its "Error Message" link; hosts and tools expect them word for
// word.
#pragma once

#include <cstdio>
#include <string>

namespace kestrom_links {

// Written by every publication of a computation.
inline constexpr const char* kNoErrorsText = "No errors";

// A link the request cannot be read without is not connected.
inline constexpr const char* kNoRowIndexText =
    "Please provide a Value Channel at link 2 to allow reading the necessary values from an "
    "array table";
inline constexpr const char* kNoDemandText =
    "Please provide a Vector with the demanded thrust at link 12";

// The failure of a table over the row limit, ahead of the shutdown notice.
inline constexpr const char* kTooManyRowsText =
    "The thruster table has more than 128 rows; rows from 128 on cannot be addressed.";

// Written by the error shutdown: the fixed notice, then the failure's own text.
inline std::string shutdownText(const std::string& failure) {
    return "Unfortunately an error occurred. All Thrusters have been shutdown. Please switch to "
           "manual steering.\nThe official error message is:\n" +
           failure;
}

// Written by a publication of the closest attainable thrust when the demand is beyond the
// thrusters' capacity: what is missing, demand minus published thrust, per component. "Error?"
// stays 0: thrust is published.
inline std::string beyondCapacityText(double fwd, double swd, double rot) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "The demand is beyond the thrusters' capacity; the closest attainable thrust "
                  "is published. Shortfall: fwd %.6g N, swd %.6g N, rot %.6g N m",
                  fwd, swd, rot);
    return text;
}

}  // namespace kestrom_links
