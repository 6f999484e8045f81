// Abstract sequential reader over a block of data. The slot order is part of
// the interface; there is no virtual destructor, objects are never deleted
// through it.
#pragma once
#include <windows.h>

class CStreamReader {
public:
    virtual BOOL IsValid() = 0;
    virtual void Close() = 0;
    virtual DWORD Read(void* destination, DWORD count) = 0;
    virtual LONG ReadLine(char* buffer, DWORD maxLength) = 0;
    virtual DWORD SeekFromStart(DWORD offset) = 0;
    virtual DWORD SeekFromEnd(DWORD offset) = 0;
    virtual DWORD SeekFromCurrent(DWORD offset) = 0;

protected:
    ~CStreamReader() = default;
};
