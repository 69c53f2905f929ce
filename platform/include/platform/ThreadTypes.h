// The two thread values a channel keeps between calls, in the system's own types but without
// the system's headers: whoever includes the channel's header gets no <windows.h> macros and
// no TRUE, FALSE or DWORD of the thread layer.
#pragma once

#include <cstdint>

namespace platform {

// A thread handle: HANDLE on Windows, the thread layer's handle elsewhere.
using ThreadHandle = void*;

// A thread identifier: DWORD, 32 bits unsigned (unsigned long on Windows).
#if defined(_WIN32)
using ThreadId = unsigned long;
#else
using ThreadId = std::uint32_t;
#endif

}  // namespace platform
