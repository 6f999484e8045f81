#include "range_block.h"

// A range of tens of megabytes is read straight into fresh pages, so a heap
// block would be no cheaper; the system's own allocation lets the host lay
// such a block on large pages.
CRangeBlock::CRangeBlock(LONG length)
    : bytes(static_cast<BYTE*>(VirtualAlloc(nullptr, length > 0 ? static_cast<SIZE_T>(length) : 1,
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)))
{
}

CRangeBlock::~CRangeBlock()
{
    if (bytes != nullptr) {
        VirtualFree(bytes, 0, MEM_RELEASE);
    }
}
