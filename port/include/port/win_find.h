// Directory enumeration, the attribute bits it reports, and the comparison of
// the times it yields.
#pragma once
#include <port/win_types.h>

#ifndef FILE_ATTRIBUTE_READONLY
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#endif

// Search pattern: a folder path followed by a mask of '*' (any run of
// characters) and '?' (one character), matched without regard to case;
// "*.*" matches every name. "." and ".." are listed except at a drive root.
HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findFileData);
BOOL WINAPI FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findFileData);
BOOL WINAPI FindClose(HANDLE findFile);

// -1, 0 or 1 as the first time is earlier than, equal to or later than the second.
LONG WINAPI CompareFileTime(const FILETIME* fileTime1, const FILETIME* fileTime2);
