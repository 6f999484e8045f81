#include "base/module_instance.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
    case DLL_THREAD_ATTACH:
        moduleInstance = instance;
        break;
    case DLL_PROCESS_DETACH:
        moduleInstance = nullptr;
        break;
    default:
        break;
    }
    // The library never refuses to load.
    return TRUE;
}
