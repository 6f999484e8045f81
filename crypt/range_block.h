// The block that holds one file's range while it is transformed: whole pages
// from the system, zeroed when they come, given back whole.
#pragma once
#include <windows.h>

class CRangeBlock {
public:
    // At least one page, so that an empty range has a block too.
    explicit CRangeBlock(LONG length);
    ~CRangeBlock();
    CRangeBlock(const CRangeBlock&) = delete;
    CRangeBlock& operator=(const CRangeBlock&) = delete;

    bool IsValid() const { return bytes != nullptr; }
    BYTE* Get() const { return bytes; }

private:
    BYTE* bytes;
};
