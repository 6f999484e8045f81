// The Windows Installer subset this system calls, for POSIX hosts.
#pragma once
#include <windows.h>

typedef uint32_t MSIHANDLE;

UINT WINAPI MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR valueBuf, LPDWORD valueBufSize);
UINT WINAPI MsiGetTargetPathA(MSIHANDLE install, LPCSTR folder, LPSTR pathBuf, LPDWORD pathBufSize);
UINT WINAPI MsiSetPropertyA(MSIHANDLE install, LPCSTR name, LPCSTR value);
UINT WINAPI MsiSetTargetPathA(MSIHANDLE install, LPCSTR folder, LPCSTR folderPath);
UINT WINAPI MsiCloseHandle(MSIHANDLE any);

// The installer's own owner of a handle: closes it when it goes, or when it
// is given another, or when its address is taken to receive a new one.
class PMSIHANDLE {
public:
    PMSIHANDLE() : handle(0) {}
    PMSIHANDLE(MSIHANDLE owned) : handle(owned) {}
    ~PMSIHANDLE() { Release(); }
    void operator=(MSIHANDLE owned)
    {
        Release();
        handle = owned;
    }
    operator MSIHANDLE() { return handle; }
    MSIHANDLE* operator&()
    {
        Release();
        return &handle;
    }

private:
    void Release()
    {
        if (handle != 0) {
            MsiCloseHandle(handle);
        }
        handle = 0;
    }
    MSIHANDLE handle;
};
