// ANSI text: the active code page, its lead bytes, and case-sensitive comparison.
#pragma once
#include <port/win_types.h>

UINT WINAPI GetACP();
BOOL WINAPI IsDBCSLeadByte(BYTE testChar);
int WINAPI lstrcmpA(LPCSTR string1, LPCSTR string2);
