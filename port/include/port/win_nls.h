// Text between the ANSI code pages and Unicode, and Unicode case mapping.
#pragma once
#include <port/win_types.h>

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef DWORD LCID;

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define LOCALE_INVARIANT 0x007F
#define LCMAP_UPPERCASE 0x00000200

// Code pages 1250, 1251, 1252, 932 and 65001, and CP_ACP for the active one.
// With a negative count the terminator is converted too and counted.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount);
// LOCALE_INVARIANT with LCMAP_UPPERCASE only: each code unit upper-cased on
// its own, as the file systems' case table does; the length never changes.
int WINAPI LCMapStringW(LCID locale, DWORD flags, LPCWSTR source, int sourceCount, LPWSTR destination,
                        int destinationCount);
