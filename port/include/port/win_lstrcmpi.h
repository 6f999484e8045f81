// Case-insensitive comparison of ANSI text.
#pragma once
#include <port/win_types.h>

// Negative, 0 or positive as string1 sorts before, equal to or after string2
// when letter case is ignored. Text is taken in the host's code page (UTF-8),
// the code page in which the port's directory enumeration names entries.
int WINAPI lstrcmpiA(LPCSTR string1, LPCSTR string2);
