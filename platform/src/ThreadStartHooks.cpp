#include "ThreadStartHooks.h"

#include <atomic>
#include <mutex>

#include "platform/PlatformTestSupport.h"

namespace {

std::mutex failLock;
int failuresPending = 0;
DWORD failureError = 0;
std::atomic<int> runningThreads{0};

}  // namespace

bool takeThreadStartFailure(DWORD& error) {
    std::lock_guard<std::mutex> guard(failLock);
    if (failuresPending <= 0) {
        return false;
    }
    --failuresPending;
    error = failureError;
    return true;
}

void countThreadStarted() {
    runningThreads.fetch_add(1);
}

void countThreadEnded() {
    runningThreads.fetch_sub(1);
}

void platformFailNextThreadCreations(int count, DWORD error) {
    std::lock_guard<std::mutex> guard(failLock);
    failuresPending = count > 0 ? count : 0;
    failureError = error;
}

int platformRunningThreadCount() {
    return runningThreads.load();
}
