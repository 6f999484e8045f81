// Owns a system handle and closes it on every way out: files with
// CloseHandle, directory searches with FindClose.
#pragma once
#include <windows.h>

template <typename Closer>
class CHandleOwner {
public:
    explicit CHandleOwner(HANDLE owned) : handle(owned) {}
    ~CHandleOwner()
    {
        if (IsOpen()) {
            Closer::Close(handle);
        }
    }
    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

struct CFileCloser {
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

struct CFindCloser {
    static void Close(HANDLE handle) { FindClose(handle); }
};

typedef CHandleOwner<CFileCloser> CFileHandle;
typedef CHandleOwner<CFindCloser> CFindHandle;
