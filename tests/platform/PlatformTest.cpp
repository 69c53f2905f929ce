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

}  // namespace

// Waits time out while a thread runs and succeed, repeatedly, once it ended; a closed handle is
// refused. Closing a handle early leaves its thread running to its end, then nothing leaked.
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
    for (int i = 0; i < 10000 && platformRunningThreadCount() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(platformRunningThreadCount(), 0);
}
