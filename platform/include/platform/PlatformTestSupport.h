// Test hooks of the thread layer: never used by library code.
#pragma once

#include "platform/WinApi.h"

#ifndef _WIN32

// The next `count` calls of CreateThread fail with `error` (a system error code, given to
// GetLastError) without starting a thread. A count of 0 or less switches failing off.
KESTROM_PLATFORM_API void platformFailNextThreadCreations(int count, DWORD error);

// Threads of this layer that have not ended yet (to check that none is left running).
KESTROM_PLATFORM_API int platformRunningThreadCount();

#endif
