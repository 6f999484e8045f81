// The process's error mode: which system error boxes are shown, such as the
// one for a drive without a disc.
#pragma once
#include <port/win_types.h>

#define SEM_FAILCRITICALERRORS 0x0001u
#define SEM_NOGPFAULTERRORBOX 0x0002u
#define SEM_NOOPENFILEERRORBOX 0x8000u

// Sets the mode for the whole process and returns the one it replaces.
UINT WINAPI SetErrorMode(UINT mode);
UINT WINAPI GetErrorMode();
