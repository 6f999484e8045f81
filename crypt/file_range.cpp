#include "file_range.h"

#include <cstring>

namespace {

const uint64_t fourGiB = 0x100000000ull;
const uint64_t longMax = 0x7FFFFFFF;

bool SeekTo(HANDLE file, LONG position)
{
    return SetFilePointer(file, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

// How many bytes of [start, start + length) lie in a file of size bytes.
DWORD BytesInFile(LONG start, LONG length, DWORD size)
{
    DWORD from = static_cast<DWORD>(start);
    if (from >= size) {
        return 0;
    }
    DWORD rest = size - from;
    return rest < static_cast<DWORD>(length) ? rest : static_cast<DWORD>(length);
}

// A write that comes back short counts as failed: Wine reports one that
// filled the disk partway as a success with fewer bytes.
bool WriteAt(HANDLE file, LONG start, const BYTE* data, DWORD count, RangeFault* fault)
{
    DWORD written = 0;
    if (!SeekTo(file, start)) {
        *fault = rangeFaultWrite;
        return false;
    }
    if (!WriteFile(file, data, count, &written, nullptr)) {
        DWORD error = GetLastError();
        bool noRoom = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || error == ERROR_FILE_TOO_LARGE;
        *fault = noRoom ? rangeFaultNoRoom : rangeFaultWrite;
        return false;
    }
    if (written != count) {
        *fault = rangeFaultNoRoom;
        return false;
    }
    return true;
}

// Compares in small pieces, so that the check needs no second block as
// large as the range.
bool RangeIsOriginal(HANDLE file, LONG start, LONG length, DWORD oldSize, const BYTE* original)
{
    uint64_t size = 0;
    if (!ReadFileSize64(file, &size) || size != oldSize) {
        return false;
    }
    DWORD count = BytesInFile(start, length, oldSize);
    if (count > 0 && !SeekTo(file, start)) {
        return false;
    }
    BYTE piece[4096];
    for (DWORD done = 0; done < count;) {
        DWORD wanted = count - done < sizeof(piece) ? count - done : static_cast<DWORD>(sizeof(piece));
        DWORD readed = 0;
        if (!ReadFile(file, piece, wanted, &readed, nullptr) || readed != wanted ||
            std::memcmp(piece, original + done, wanted) != 0) {
            return false;
        }
        done += wanted;
    }
    return true;
}

// Writes zeros over [from, to), a chunk at a time; the chunk lives on the
// stack, since a static table of zeros would ship in the image.
bool WriteZeros(HANDLE file, uint64_t from, uint64_t to, RangeFault* fault)
{
    BYTE zeros[4096] = {};
    for (uint64_t at = from; at < to;) {
        DWORD count = to - at < sizeof(zeros) ? static_cast<DWORD>(to - at) : static_cast<DWORD>(sizeof(zeros));
        if (!WriteAt(file, static_cast<LONG>(at), zeros, count, fault)) {
            return false;
        }
        at += count;
    }
    return true;
}

// Every step is tried whatever became of the one before; reading the range
// back decides. rangeTouched: new bytes may have landed in the range.
RangeOutcome PutBack(HANDLE file, LONG start, LONG length, DWORD oldSize, const BYTE* original,
                     bool rangeTouched)
{
    RangeFault ignored = rangeFaultNone;
    DWORD count = BytesInFile(start, length, oldSize);
    if (rangeTouched && count > 0) {
        WriteAt(file, start, original, count, &ignored);
    }
    // Only a range that reached past the old end can have lengthened the
    // file, and then the old size is below the range's end, a LONG.
    if (static_cast<uint64_t>(start) + static_cast<uint64_t>(length) > oldSize &&
        SeekTo(file, static_cast<LONG>(oldSize))) {
        SetEndOfFile(file);
    }
    return RangeIsOriginal(file, start, length, oldSize, original) ? rangeUnchanged : rangeDamaged;
}

}  // namespace

bool ReadFileSize64(HANDLE file, uint64_t* size)
{
    DWORD high = 0;
    // A low part of all ones is a size like any other unless an error is set.
    SetLastError(ERROR_SUCCESS);
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        return false;
    }
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

RangeFault ResolveRange(uint64_t size, LONG start, LONG* length)
{
    if (start < 0 || *length < -1) {
        return rangeFaultArguments;
    }
    if (size >= fourGiB || (*length == -1 && size > longMax)) {
        return rangeFaultSize;
    }
    LONG resolved = *length == -1 ? static_cast<LONG>(size) : *length;
    if (static_cast<uint64_t>(start) + static_cast<uint64_t>(resolved) > longMax) {
        return rangeFaultSize;
    }
    *length = resolved;
    return rangeFaultNone;
}

bool ReadRange(HANDLE file, LONG start, LONG length, DWORD size, BYTE* block)
{
    DWORD count = BytesInFile(start, length, size);
    std::memset(block + count, 0, static_cast<size_t>(length) - count);
    DWORD readed = 0;
    return count == 0 ||
           (SeekTo(file, start) && ReadFile(file, block, count, &readed, nullptr) && readed == count);
}

RangeOutcome RewriteRange(HANDLE file, LONG start, LONG length, DWORD oldSize, BYTE* data, CRangeUndo& undo,
                          RangeFault* fault)
{
    // Room past the old end is made first, by writing the zeros the file
    // reads there, so that a full disk fails before any new byte lands. A
    // hole inside the file can still fill the disk part-way through the new
    // bytes; the old ones then go back where the new ones landed.
    uint64_t end = static_cast<uint64_t>(start) + static_cast<uint64_t>(length);
    bool roomMade = end <= oldSize || WriteZeros(file, oldSize, end, fault);
    if (roomMade && WriteAt(file, start, data, static_cast<DWORD>(length), fault)) {
        return rangeWritten;
    }
    if (!undo.Undo(data, length)) {
        return rangeDamaged;
    }
    return PutBack(file, start, length, oldSize, data, roomMade);
}
