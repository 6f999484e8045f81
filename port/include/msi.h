// The Windows Installer subset this system calls, for POSIX hosts.
#pragma once
#include <windows.h>

typedef uint32_t MSIHANDLE;

UINT WINAPI MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR valueBuf, LPDWORD valueBufSize);
UINT WINAPI MsiGetTargetPathA(MSIHANDLE install, LPCSTR folder, LPSTR pathBuf, LPDWORD pathBufSize);
UINT WINAPI MsiSetPropertyA(MSIHANDLE install, LPCSTR name, LPCSTR value);
UINT WINAPI MsiSetTargetPathA(MSIHANDLE install, LPCSTR folder, LPCSTR folderPath);
UINT WINAPI MsiCloseHandle(MSIHANDLE any);
