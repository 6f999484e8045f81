// Memory that must not keep secrets once it is given back, and memory taken
// from the system in whole pages.
#pragma once
#include <port/win_types.h>

#define MEM_COMMIT 0x00001000
#define MEM_RESERVE 0x00002000
#define MEM_RELEASE 0x00008000
#define PAGE_READWRITE 0x04

// Writes zeros through a volatile pointer, so the compiler cannot drop the
// writes as dead stores (as Windows' own inline does).
inline void* SecureZeroMemory(void* destination, SIZE_T length)
{
    volatile BYTE* bytes = static_cast<volatile BYTE*>(destination);
    while (length-- != 0) {
        *bytes++ = 0;
    }
    return destination;
}

// Only what the system asks for: new zeroed read-write pages anywhere
// (no address, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), and their release
// whole (size 0, MEM_RELEASE).
LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
