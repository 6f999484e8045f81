// Owns a directory search handle and closes it on every way out.
#pragma once
#include <windows.h>

class CFindHandle {
public:
    explicit CFindHandle(HANDLE searchHandle) : handle(searchHandle) {}
    ~CFindHandle()
    {
        if (IsOpen()) {
            FindClose(handle);
        }
    }
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};
