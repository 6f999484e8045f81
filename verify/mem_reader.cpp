#include "mem_reader.h"

#include <cstring>
#include <new>

CMemReader::CMemReader(LPCSTR fileName)
{
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD fileSize = GetFileSize(file, nullptr);
    if (fileSize != INVALID_FILE_SIZE) {
        SetData(nullptr, fileSize);
        if (buffer != nullptr) {
            // Bytes the read does not deliver stay zero.
            DWORD readed = 0;
            ReadFile(file, const_cast<BYTE*>(buffer), size, &readed, nullptr);
        }
    }
    CloseHandle(file);
}

CMemReader::CMemReader(HMODULE module, DWORD resourceId)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId & 0xFFFF), "BIN");
    if (resource == nullptr) {
        return;
    }
    HGLOBAL loaded = LoadResource(module, resource);
    DWORD resourceSize = SizeofResource(module, resource);
    if (loaded == nullptr || resourceSize == 0) {
        return;
    }
    const void* data = LockResource(loaded);
    if (data != nullptr) {
        SetData(data, resourceSize);
    }
}

CMemReader::~CMemReader()
{
    Close();
}

void CMemReader::SetData(const void* source, DWORD newSize)
{
    Close();
    // The block holds one byte more than the data; a size that leaves no room
    // for it, or a block the heap cannot give, leaves the reader empty.
    if (newSize == 0xFFFFFFFFu) {
        return;
    }
    BYTE* block = new (std::nothrow) BYTE[static_cast<size_t>(newSize) + 1];
    if (block == nullptr) {
        return;
    }
    if (source != nullptr) {
        std::memcpy(block, source, newSize);
    } else {
        std::memset(block, 0, newSize);
    }
    buffer = block;
    size = newSize;
    position = block;
    ownsBuffer = true;
}

void CMemReader::ViewData(const void* source, DWORD newSize)
{
    // Only the held block goes: a reader that owns the viewed bytes closes
    // them itself.
    CMemReader::Close();
    if (source == nullptr) {
        return;
    }
    buffer = static_cast<const BYTE*>(source);
    size = newSize;
    position = buffer;
}

BOOL CMemReader::IsValid()
{
    return buffer != nullptr && size != 0 ? TRUE : FALSE;
}

void CMemReader::Close()
{
    if (ownsBuffer) {
        delete[] buffer;
    }
    ownsBuffer = false;
    buffer = nullptr;
    size = 0;
    position = nullptr;
}

DWORD CMemReader::Read(void* destination, DWORD count)
{
    if (buffer == nullptr) {
        return 0;
    }
    if (count > Remaining()) {
        count = Remaining();
    }
    if (count == 0) {
        return 0;
    }
    std::memcpy(destination, position, count);
    position += count;
    return count;
}

LONG CMemReader::ReadLine(char* lineBuffer, DWORD maxLength)
{
    if (lineBuffer == nullptr || buffer == nullptr) {
        return 0;
    }
    const BYTE* end = buffer + size;
    // The line ends at the first line feed or carriage return, whichever
    // comes first; both searches are the C library's, which reads by words.
    // Neither looks further than a line that is too long, so text with one
    // kind of line break only is not searched to its end for the other.
    size_t window = static_cast<size_t>(end - position);
    if (window > static_cast<size_t>(maxLength) + 1) {
        window = static_cast<size_t>(maxLength) + 1;
    }
    const void* feed = std::memchr(position, '\n', window);
    const BYTE* lineEnd = feed != nullptr ? static_cast<const BYTE*>(feed) : position + window;
    const void* carriage = std::memchr(position, '\r', static_cast<size_t>(lineEnd - position));
    if (carriage != nullptr) {
        lineEnd = static_cast<const BYTE*>(carriage);
    }
    const BYTE* next = lineEnd;
    while (next < end && (*next == '\r' || *next == '\n')) {
        ++next;
    }
    DWORD length = static_cast<DWORD>(lineEnd - position);
    if (length > maxLength) {
        return -1;
    }
    std::memcpy(lineBuffer, position, length);
    lineBuffer[length] = '\0';
    position = next;
    return static_cast<LONG>(length);
}

DWORD CMemReader::SeekFromStart(DWORD offset)
{
    if (buffer == nullptr) {
        return 0;
    }
    position = buffer + (offset < size ? offset : size);
    return Offset();
}

DWORD CMemReader::SeekFromEnd(DWORD offset)
{
    if (buffer == nullptr) {
        return 0;
    }
    if (offset > size) {
        offset = size;
    }
    if (offset != 0) {
        position = buffer + (size - offset);
    }
    return Remaining();
}

DWORD CMemReader::SeekFromCurrent(DWORD offset)
{
    if (buffer == nullptr) {
        return 0;
    }
    if (offset > Remaining()) {
        offset = Remaining();
    }
    position += offset;
    return Offset();
}
