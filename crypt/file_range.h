// One byte range of an open file: read with zeros past the end, and rewritten
// so that the file changes only when the whole range is written.
#pragma once
#include <windows.h>

#include <cstdint>

// Why a range was not transformed, or could not be put back.
enum RangeFault {
    rangeFaultNone = 0,
    rangeFaultArguments,  // a negative start, or a length below -1
    rangeFaultOpen,       // the file could not be opened for reading and writing
    rangeFaultSize,       // the file is 4 GiB or more, or the range would end past 2 GiB - 1
    rangeFaultRead,       // the file's size or the range could not be read whole
    rangeFaultMemory,     // no memory for the range
    rangeFaultCipher,     // the cipher failed (CryptoAPI)
    rangeFaultNoRoom,     // the disk, or the file system's size limit, left no room for the range
    rangeFaultWrite,      // writing failed for another reason
};

enum RangeOutcome {
    rangeWritten,    // the whole range holds the new bytes
    rangeUnchanged,  // the write failed; the file was read back and is as it was
    rangeDamaged,    // the write failed and the old bytes or size could not be put back
};

// The file's size in 64 bits; false when it cannot be had.
bool ReadFileSize64(HANDLE file, uint64_t* size);

// Resolves a length of -1 to the file's size and checks that the range can
// be worked with: rangeFaultArguments for a negative start or a length below
// -1, rangeFaultSize for a file of 4 GiB or more or a range whose end
// (start + length) does not fit a LONG; rangeFaultNone otherwise.
RangeFault ResolveRange(uint64_t size, LONG start, LONG* length);

// Reads the bytes of [start, start + length) that lie in a file of size
// bytes into block and sets the rest of block, past the end of the file, to
// zeros. False when the read fails or comes back short.
bool ReadRange(HANDLE file, LONG start, LONG length, DWORD size, BYTE* block);

// Turns the new bytes of a range back into the old ones, in place, when a
// write fails: the old bytes are not kept beside the new ones.
class CRangeUndo {
public:
    virtual bool Undo(BYTE* data, LONG length) = 0;
};

// Writes length bytes of data at start of a file that was oldSize bytes long.
// Room past the old end is made before any new byte is written, so that a
// full disk fails first; a failed or short write turns data back into the
// old bytes (zeros past the old end) with undo and puts them and the old size
// back, and the range is then read back to tell rangeUnchanged from
// rangeDamaged. fault says why a write failed.
RangeOutcome RewriteRange(HANDLE file, LONG start, LONG length, DWORD oldSize, BYTE* data, CRangeUndo& undo,
                          RangeFault* fault);
