// Profile (INI) reading: "[section]" lines and "key=value" lines, section and
// key names compared without regard to case, names and values trimmed.
#pragma once
#include <port/win_types.h>

UINT WINAPI GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName);
DWORD WINAPI GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue,
                                      LPSTR returnedString, DWORD size, LPCSTR fileName);
