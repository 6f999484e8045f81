// The library's own module handle, kept by DllMain: the embedded listing and
// manifest are resources of this library, not of the process that loaded it.
#pragma once
#include <windows.h>

extern HINSTANCE moduleInstance;
