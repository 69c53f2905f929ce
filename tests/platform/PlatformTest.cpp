// The thread layer's handle contract: on Windows the contract the channel relies on, as the
// system itself keeps it. (Injected start failures and their system texts are checked through
// the plug-in, in the channel tests.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
