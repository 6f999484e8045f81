// The calling thread's last-error code, which a failing call sets.
#pragma once
#include <port/win_types.h>

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD errorCode);
