// The texts the channel writes to its "Error Message" link. Hosts that reproduce the channel's
// outputs without loading it (the Python module) take them from here.
#pragma once

#include <string>

namespace kestrom_links {

// Written by every publication of a computation.
inline constexpr const char* kNoErrorsText = "No errors";

// Written by the error shutdown: the fixed notice, then the failure's own text.
inline std::string shutdownText(const std::string& failure) {
    return "Unfortunately an error occurred. All Thrusters have been shutdown. Please switch to "
           "manual steering.\nThe official error message is:\n" +
           failure;
}

}  // namespace kestrom_links
