// The operating-system calls the channel makes: thread start, wait and close, the text of
// a system error, local time, and the library-load hook. On Windows these are the real
// functions of <windows.h>; elsewhere a small layer with the same contract, so the channel
// code reads the same on every platform. Include it from source files only: it brings the
// system's names and macros (TRUE, FALSE, DWORD, ...) into the global namespace.
#pragma once

#include <type_traits>

#include "platform/ThreadTypes.h"

#ifdef _WIN32

#include <windows.h>

#else

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(KESTROM_PLATFORM_BUILD)
#define KESTROM_PLATFORM_API __attribute__((visibility("default")))
#else
#define KESTROM_PLATFORM_API
#endif

#define WINAPI

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LPDWORD = DWORD*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using HANDLE = void*;
using HLOCAL = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using SIZE_T = std::size_t;
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1 to 12
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0u;
constexpr DWORD WAIT_TIMEOUT = 258u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100u;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200u;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000u;

constexpr DWORD DLL_PROCESS_DETACH = 0u;
constexpr DWORD DLL_PROCESS_ATTACH = 1u;
constexpr DWORD DLL_THREAD_ATTACH = 2u;
constexpr DWORD DLL_THREAD_DETACH = 3u;

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(WORD primary, WORD sub) {
    return static_cast<DWORD>((static_cast<DWORD>(sub) << 10) | primary);
}

// Starts `start(parameter)` on a new thread at once (creationFlags must be 0). The returned
// handle stays valid until CloseHandle, whether or not the thread has ended; waiting and
// closing may happen in either order, on any thread, including the thread itself.
// Null on failure, with the reason for GetLastError.
KESTROM_PLATFORM_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                         LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                         DWORD creationFlags, LPDWORD threadId);

// Waits until the thread of `handle` has ended or `milliseconds` have passed (INFINITE: no
// limit). WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED for a handle that is not open.
KESTROM_PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Gives up the handle; the thread runs on. FALSE for a handle that is not open.
KESTROM_PLATFORM_API BOOL CloseHandle(HANDLE handle);

// The error code of the last failed call of this layer on the calling thread: here the
// system's errno values, which FormatMessageA describes.
KESTROM_PLATFORM_API DWORD GetLastError();

// Only the form FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM is supported:
// `buffer` is then really a char** that receives a text to release with LocalFree. Returns
// the text's length, 0 (and no buffer) when the system has no text for `messageId`.
KESTROM_PLATFORM_API DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId,
                                          DWORD languageId, LPSTR buffer, DWORD size,
                                          va_list* arguments);

// Releases a buffer of FormatMessageA; null on success (and for null).
KESTROM_PLATFORM_API HLOCAL LocalFree(HLOCAL memory);

KESTROM_PLATFORM_API void GetLocalTime(LPSYSTEMTIME time);

// Nothing to switch off outside Windows; always succeeds.
KESTROM_PLATFORM_API BOOL DisableThreadLibraryCalls(HMODULE module);

#endif

static_assert(std::is_same<HANDLE, platform::ThreadHandle>::value &&
                  std::is_same<DWORD, platform::ThreadId>::value,
              "the channel keeps its thread in the system's types");
