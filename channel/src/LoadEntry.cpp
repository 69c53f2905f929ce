// The load entry of a plug-in DLL, found by the C runtime under its C name. Worker threads
// come and go with every request; the library needs no notice of them.
#if defined(_WIN32)
#include "platform/WinApi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
#endif
