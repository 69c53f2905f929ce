// The test hooks on Windows. The plug-in calls the system's CreateThread directly; a test puts
// the hooks between the two by rewriting the plug-in's import address table entry for it, the
// table through which every call of a DLL into kernel32 goes.
#include <cstring>
#include <new>

#include "ThreadStartHooks.h"
#include "platform/PlatformTestSupport.h"
#include "platform/WinApi.h"

namespace {

using CreateThreadFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                             LPVOID, DWORD, LPDWORD);

// The system's own function, whatever a module's import table holds meanwhile.
CreateThreadFunction systemCreateThread() {
    static const auto function = reinterpret_cast<CreateThreadFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateThread")));
    return function;
}

struct CountedStart {
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

DWORD WINAPI countedThread(LPVOID argument) {
    const CountedStart counted = *static_cast<CountedStart*>(argument);
    delete static_cast<CountedStart*>(argument);
    const DWORD result = counted.start(counted.parameter);
    countThreadEnded();
    return result;
}

HANDLE WINAPI hookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadId) {
    DWORD injected = 0;
    if (takeThreadStartFailure(injected)) {
        SetLastError(injected);
        return nullptr;
    }
    auto* counted = new (std::nothrow) CountedStart{start, parameter};
    if (counted == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    countThreadStarted();
    HANDLE handle =
        systemCreateThread()(security, stackSize, countedThread, counted, flags, threadId);
    if (handle == nullptr) {
        const DWORD error = GetLastError();
        countThreadEnded();
        delete counted;
        SetLastError(error);
    }
    return handle;
}

// Points every import table slot of `module` that holds `from` at `to`.
void replaceImport(HMODULE module, void* from, void* to) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return;
    }
    auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; library->Name != 0; ++library) {
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; slot->u1.Function != 0; ++slot) {
            if (reinterpret_cast<void*>(slot->u1.Function) != from) {
                continue;
            }
            DWORD protection = 0;
            if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE,
                               &protection)) {
                slot->u1.Function = reinterpret_cast<ULONG_PTR>(to);
                VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection,
                               &protection);
            }
        }
    }
}

}  // namespace

void platformHookThreadStarts(HMODULE module) {
    if (module != nullptr) {
        replaceImport(module, reinterpret_cast<void*>(systemCreateThread()),
                      reinterpret_cast<void*>(&hookedCreateThread));
    }
}
