// The thread layer's handle contract, failure injection, and error texts: on Windows the
// contract the channel relies on, as the system itself keeps it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/PlatformTestSupport.h"
#include "platform/WinApi.h"

namespace {

#if defined(_WIN32)
// The threads of these tests are started by the program itself.
[[maybe_unused]] const bool hooked = (platformHookThreadStarts(GetModuleHandleA(nullptr)), true);
#endif

std::atomic<bool> release{false};

DWORD WINAPI waitForRelease(LPVOID) {
    while (!release.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

// The worker closes its own handle, as a thread that outlives its creator's interest does.
DWORD WINAPI closeOwnHandle(LPVOID parameter) {
    auto* handle = static_cast<std::atomic<HANDLE>*>(parameter);
    while (handle->load() == nullptr)
        std::this_thread::yield();
    CloseHandle(handle->load());
    return 0;
}

void waitUntilNoThreadRuns() {
    for (int i = 0; i < 10000 && platformRunningThreadCount() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

// Waits time out while a thread runs and succeed, repeatedly, once it ended; a closed handle is
// refused. Closing early, or by the thread itself, leaves nothing running and nothing leaked.
TEST(PlatformThreads, WaitCloseAndStaleHandles) {
    release = false;
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, &id);
    HANDLE early = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr);
    ASSERT_TRUE(handle != nullptr && early != nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(handle, 10), WAIT_TIMEOUT);
    EXPECT_EQ(CloseHandle(early), TRUE);
    release = true;
    EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(CloseHandle(handle), TRUE);
    EXPECT_EQ(CloseHandle(handle), FALSE);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(CloseHandle(nullptr), FALSE);

    std::atomic<HANDLE> own{nullptr};
    own = CreateThread(nullptr, 0, closeOwnHandle, &own, 0, nullptr);
    ASSERT_NE(own.load(), nullptr);
    waitUntilNoThreadRuns();
    EXPECT_EQ(platformRunningThreadCount(), 0);
    EXPECT_EQ(CloseHandle(own.load()), FALSE);
}

// Exactly `count` starts fail with the injected code, whose system text ends in a line break
// (the C library's text elsewhere, CR LF on Windows) and is released with LocalFree; unknown
// codes have no text.
TEST(PlatformThreads, InjectedFailuresAndTheirText) {
    release = true;
    const DWORD error = kPlatformThreadStartError;
    platformFailNextThreadCreations(2, error);
    EXPECT_EQ(CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), error);
    EXPECT_EQ(CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CloseHandle(CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr)), TRUE);

    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD length = FormatMessageA(flags | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, std::strlen(text));
#if defined(_WIN32)
    EXPECT_GT(length, 2u);
    EXPECT_EQ(std::string(text).substr(length - 2), "\r\n");
#else
    EXPECT_EQ(std::string(text), std::string(std::strerror(static_cast<int>(error))) + "\n");
#endif
    EXPECT_EQ(LocalFree(text), nullptr);
    char* none = nullptr;
    EXPECT_EQ(FormatMessageA(flags, nullptr, 123456, 0, reinterpret_cast<LPSTR>(&none), 0, nullptr),
              0u);
    EXPECT_EQ(none, nullptr);
    waitUntilNoThreadRuns();
}
