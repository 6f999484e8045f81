// Owns a file handle and closes it on every way out.
#pragma once
#include <windows.h>

class CFileHandle {
public:
    explicit CFileHandle(HANDLE fileHandle) : handle(fileHandle) {}
    ~CFileHandle()
    {
        if (IsOpen()) {
            CloseHandle(handle);
        }
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};
