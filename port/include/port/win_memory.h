// Memory that must not keep secrets once it is given back.
#pragma once
#include <port/win_types.h>

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
