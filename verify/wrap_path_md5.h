// One row of the MD5 manifest: a file's path below the source root and its
// expected digest text. A plain value, copied by value.
#pragma once
#include <windows.h>

class CWrapPathMD5 {
public:
    // Each text is copied as far as it fits (259 and 32 characters).
    CWrapPathMD5(const char* filePath, const char* fileMD5);

    char path[MAX_PATH];
    char md5[33];
};
