// Threads with Windows handle semantics on POSIX threads.
//
// A handle is a heap record shared by two owners: the running thread and the handle
// itself (waiters hold a third, temporary share). Whichever lets go last frees it, so the
// handle may be closed before or after the thread ends, by any thread, and waiting on a
// handle that another thread closes meanwhile stays safe. Handles are looked up in the set
// of open ones, so a stale or foreign handle gives a clean failure, never a use after free.
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <unordered_set>

#include "ThreadStartHooks.h"
#include "platform/WinApi.h"

namespace {

struct ThreadRecord {
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    std::condition_variable ended;
    bool finished = false;
    int owners = 2;  // the thread and the handle, plus one per waiter
};

// One lock for the open set, the owner counts and the finished flags; it is held only
// for a few instructions at a time.
std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}
std::unordered_set<ThreadRecord*>& openHandles() {
    static std::unordered_set<ThreadRecord*> handles;
    return handles;
}

thread_local DWORD lastError = 0;
std::atomic<DWORD> nextThreadId{1};

// Caller holds registryLock.
void releaseOwner(ThreadRecord* record) {
    if (--record->owners == 0) {
        delete record;
    }
}

void* threadMain(void* argument) {
    auto* record = static_cast<ThreadRecord*>(argument);
    record->start(record->parameter);
    std::lock_guard<std::mutex> guard(registryLock());
    record->finished = true;
    record->ended.notify_all();
    countThreadEnded();
    releaseOwner(record);
    return nullptr;
}

// Looks up an open handle and takes a waiter's share of it; null when not open.
ThreadRecord* shareOpen(HANDLE handle) {
    auto* record = static_cast<ThreadRecord*>(handle);
    if (openHandles().count(record) == 0) {
        return nullptr;
    }
    ++record->owners;
    return record;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    DWORD injected = 0;
    if (takeThreadStartFailure(injected)) {
        lastError = injected;
        return nullptr;
    }
    if (start == nullptr || creationFlags != 0) {
        lastError = EINVAL;
        return nullptr;
    }
    auto* record = new (std::nothrow) ThreadRecord;
    if (record == nullptr) {
        lastError = ENOMEM;
        return nullptr;
    }
    record->start = start;
    record->parameter = parameter;

    pthread_attr_t attributes;
    int rc = pthread_attr_init(&attributes);
    if (rc == 0) {
        rc = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        if (rc == 0 && stackSize != 0) {
            rc = pthread_attr_setstacksize(&attributes, stackSize);
        }
        if (rc == 0) {
            // Registered before the thread exists: it may end before we return.
            std::lock_guard<std::mutex> guard(registryLock());
            openHandles().insert(record);
            countThreadStarted();
            pthread_t thread;
            rc = pthread_create(&thread, &attributes, threadMain, record);
            if (rc != 0) {
                openHandles().erase(record);
                countThreadEnded();
            }
        }
        pthread_attr_destroy(&attributes);
    }
    if (rc != 0) {
        delete record;
        lastError = static_cast<DWORD>(rc);
        return nullptr;
    }
    const DWORD id = nextThreadId.fetch_add(1);
    if (threadId != nullptr) {
        *threadId = id;
    }
    return record;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(registryLock());
    ThreadRecord* record = shareOpen(handle);
    if (record == nullptr) {
        lastError = EBADF;
        return WAIT_FAILED;
    }
    const auto isFinished = [record] { return record->finished; };
    bool finished = true;
    if (milliseconds == INFINITE) {
        record->ended.wait(lock, isFinished);
    } else {
        finished =
            record->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), isFinished);
    }
    releaseOwner(record);
    return finished ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE handle) {
    std::lock_guard<std::mutex> guard(registryLock());
    auto* record = static_cast<ThreadRecord*>(handle);
    if (openHandles().erase(record) == 0) {
        lastError = EBADF;
        return FALSE;
    }
    releaseOwner(record);
    return TRUE;
}

DWORD GetLastError() {
    return lastError;
}
