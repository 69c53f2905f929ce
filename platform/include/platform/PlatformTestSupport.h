// Test hooks of the thread layer: never used by library code.
#pragma once

#include <cerrno>

#include "platform/WinApi.h"

#if defined(_WIN32)
#define KESTROM_PLATFORM_TEST_API
#else
#define KESTROM_PLATFORM_TEST_API KESTROM_PLATFORM_API
#endif

// The code of a thread start that failed for want of resources; the system has a text for it.
#if defined(_WIN32)
constexpr DWORD kPlatformThreadStartError = ERROR_NOT_ENOUGH_MEMORY;
#else
constexpr DWORD kPlatformThreadStartError = EAGAIN;
#endif

// The next `count` thread starts fail with `error` (a system error code, given to
// GetLastError) without starting a thread. A count of 0 or less switches failing off.
KESTROM_PLATFORM_TEST_API void platformFailNextThreadCreations(int count, DWORD error);

// Threads started under the hooks that have not ended yet (to check that none is left running).
KESTROM_PLATFORM_TEST_API int platformRunningThreadCount();

#if defined(_WIN32)
// Puts the hooks on the thread starts of `module` (a loaded library such as the plug-in, or
// the program itself): its import of the system's CreateThread is replaced by one that fails
// on request and counts the threads it starts. Elsewhere every module starts its threads
// through the one shared thread layer, which holds the hooks itself.
void platformHookThreadStarts(HMODULE module);
#endif
