// System error texts, local time and the library-load hook.
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinApi.h"

namespace {

// strerror_r comes in two shapes (XSI returns int, GNU returns the text); both land here.
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorText(const char* result, const char*) {
    return result;
}

// The C library names codes it does not know "Unknown error N"; Windows has no text for
// such codes, and neither do we.
bool isKnownText(const char* text) {
    return text != nullptr && text[0] != '\0' && std::strncmp(text, "Unknown error", 13) != 0;
}

}  // namespace

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD, va_list*) {
    constexpr DWORD required = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
    if ((flags & required) != required || buffer == nullptr) {
        return 0;
    }
    auto** out = reinterpret_cast<char**>(buffer);
    *out = nullptr;

    char scratch[256];
    scratch[0] = '\0';
    const char* text =
        errorText(strerror_r(static_cast<int>(messageId), scratch, sizeof scratch), scratch);
    if (!isKnownText(text)) {
        return 0;
    }
    // System texts end with a line break, as they do on Windows.
    std::string message = std::string(text) + "\n";
    auto* copy = static_cast<char*>(std::malloc(message.size() + 1));
    if (copy == nullptr) {
        return 0;
    }
    std::memcpy(copy, message.c_str(), message.size() + 1);
    *out = copy;
    return static_cast<DWORD>(message.size());
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

void GetLocalTime(LPSYSTEMTIME time) {
    if (time == nullptr) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto sinceEpoch = now.time_since_epoch();
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        *time = SYSTEMTIME{};
        return;
    }
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(millis < 0 ? millis + 1000 : millis);
}

BOOL DisableThreadLibraryCalls(HMODULE) {
    return TRUE;
}
