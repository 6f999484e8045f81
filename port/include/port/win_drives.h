// Drive roots, drive types and file attributes, answered from the port's
// drive table (letter -> type and host folder).
#pragma once
#include <port/win_types.h>

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#ifndef FILE_ATTRIBUTE_READONLY
#define FILE_ATTRIBUTE_READONLY 0x00000001
#endif
#ifndef FILE_ATTRIBUTE_HIDDEN
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#endif
#ifndef FILE_ATTRIBUTE_DIRECTORY
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#endif
#ifndef FILE_ATTRIBUTE_ARCHIVE
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#endif

DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer);
UINT WINAPI GetDriveTypeA(LPCSTR rootPathName);
DWORD WINAPI GetFileAttributesA(LPCSTR fileName);
