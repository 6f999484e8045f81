// A reader over a private heap copy of a whole file or one embedded resource,
// or over bytes its caller already holds.
#pragma once
#include "stream_reader.h"

class CMemReader : public CStreamReader {
public:
    // Reads the whole file; a file that cannot be opened leaves the reader empty.
    explicit CMemReader(LPCSTR fileName);
    // Copies resource id of type "BIN" from module; a missing or empty one leaves the reader empty.
    CMemReader(HMODULE module, DWORD resourceId);
    virtual ~CMemReader();

    CMemReader(const CMemReader&) = delete;
    CMemReader& operator=(const CMemReader&) = delete;

    // Replaces the held block by a copy of size bytes from source, or by zeros when source is null.
    void SetData(const void* source, DWORD size);
    // Replaces the held block by the caller's size bytes, read where they are:
    // nothing is copied, and they must outlive the reader or the next SetData.
    void ViewData(const void* source, DWORD size);

    BOOL IsValid() override;
    void Close() override;
    DWORD Read(void* destination, DWORD count) override;
    // The caller's buffer holds maxLength + 1 bytes. -1 when the line is longer than maxLength.
    LONG ReadLine(char* buffer, DWORD maxLength) override;
    DWORD SeekFromStart(DWORD offset) override;
    DWORD SeekFromEnd(DWORD offset) override;
    DWORD SeekFromCurrent(DWORD offset) override;

private:
    DWORD Offset() const { return static_cast<DWORD>(position - buffer); }
    DWORD Remaining() const { return size - Offset(); }

    const BYTE* buffer = nullptr;
    DWORD size = 0;
    const BYTE* position = nullptr;
    bool ownsBuffer = false;
};
