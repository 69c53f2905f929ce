// The thread layer's handle contract, failure injection, error texts and local time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/PlatformTestSupport.h"
#include "platform/WinApi.h"

namespace {

std::atomic<bool> release{false};
std::atomic<int> runs{0};

DWORD WINAPI waitForRelease(LPVOID) {
    while (!release.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    runs.fetch_add(1);
    return 0;
}

// The worker closes its own handle, as a thread that outlives its creator's interest does.
DWORD WINAPI closeOwnHandle(LPVOID parameter) {
    auto* handle = static_cast<std::atomic<HANDLE>*>(parameter);
    while (handle->load() == nullptr) {
        std::this_thread::yield();
    }
    CloseHandle(handle->load());
    runs.fetch_add(1);
    return 0;
}

void waitUntilNoThreadRuns() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (platformRunningThreadCount() != 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

// Waiting times out while the thread runs, succeeds once it ended (also repeatedly), and a
// closed handle is refused instead of being used.
TEST(PlatformThreads, WaitThenCloseAndStaleHandles) {
    release = false;
    runs = 0;
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, &id);
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(handle, 10), WAIT_TIMEOUT);
    release = true;
    EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(CloseHandle(handle), TRUE);
    EXPECT_EQ(CloseHandle(handle), FALSE);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(CloseHandle(nullptr), FALSE);
    waitUntilNoThreadRuns();
    EXPECT_EQ(platformRunningThreadCount(), 0);
}

// Closing first and letting the thread end later, or the thread closing its own handle,
// leaves nothing running and nothing leaked (the sanitizer builds check the latter).
TEST(PlatformThreads, CloseBeforeEndAndSelfClose) {
    release = false;
    runs = 0;
    HANDLE early = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr);
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(CloseHandle(early), TRUE);
    release = true;

    std::atomic<HANDLE> own{nullptr};
    HANDLE self = CreateThread(nullptr, 0, closeOwnHandle, &own, 0, nullptr);
    ASSERT_NE(self, nullptr);
    own = self;
    waitUntilNoThreadRuns();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_EQ(platformRunningThreadCount(), 0);
    EXPECT_EQ(CloseHandle(self), FALSE);
}

// Injected failures: exactly `count` starts fail with the given code, whose system text
// ends in a line break and is released with LocalFree; unknown codes have no text.
TEST(PlatformThreads, InjectedFailuresAndTheirText) {
    platformFailNextThreadCreations(2, EAGAIN);
    EXPECT_EQ(CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EAGAIN));
    EXPECT_EQ(CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr), nullptr);
    release = true;
    HANDLE handle = CreateThread(nullptr, 0, waitForRelease, nullptr, 0, nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(CloseHandle(handle), TRUE);

    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, EAGAIN, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
        0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, std::strlen(text));
    EXPECT_EQ(std::string(text), std::string(std::strerror(EAGAIN)) + "\n");
    EXPECT_EQ(LocalFree(text), nullptr);

    char* none = nullptr;
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                             123456, 0, reinterpret_cast<LPSTR>(&none), 0, nullptr),
              0u);
    EXPECT_EQ(none, nullptr);
    waitUntilNoThreadRuns();
}

// GetLocalTime agrees with the C library's local time of the same moment.
TEST(PlatformSystem, LocalTimeMatchesCLibrary) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    EXPECT_EQ(now.wYear, local.tm_year + 1900);
    EXPECT_EQ(now.wMonth, local.tm_mon + 1);
    EXPECT_EQ(now.wDay, local.tm_mday);
    EXPECT_LT(now.wMilliseconds, 1000);
    EXPECT_EQ(DisableThreadLibraryCalls(nullptr), TRUE);
}
