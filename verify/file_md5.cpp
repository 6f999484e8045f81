#include "file_md5.h"

#include "base/handle_owner.h"

#include <cstring>
#include <new>

namespace {

char digestText[2 * md5DigestSize + 1];

// Reads the file from its current position to its end, one chunk at a time.
class CFileChunks : public CMD5Blocks {
public:
    CFileChunks(HANDLE file, BYTE* buffer, DWORD size) : handle(file), chunk(buffer), chunkSize(size) {}

    BOOL Next(const BYTE*& bytes, DWORD& count) override
    {
        DWORD readed = 0;
        if (!ReadFile(handle, chunk, chunkSize, &readed, nullptr)) {
            failed = true;
            return FALSE;
        }
        bytes = chunk;
        count = readed;
        return readed != 0;
    }

    bool failed = false;

private:
    HANDLE handle;
    BYTE* chunk;
    DWORD chunkSize;
};

}  // namespace

CFileMD5::CFileMD5(DWORD wholeReadLimit, DWORD chunkSize) : wholeLimit(wholeReadLimit), chunk(chunkSize) {}

void CFileMD5::Release()
{
    provider.Release();
    buffer.reset();
    capacity = 0;
}

// The buffer grows to the largest block asked for and is kept for the next file.
BYTE* CFileMD5::Buffer(DWORD size)
{
    if (size > capacity || !buffer) {
        buffer.reset();
        capacity = 0;
        buffer.reset(new (std::nothrow) BYTE[size != 0 ? size : 1]);
        if (!buffer) {
            return nullptr;
        }
        capacity = size;
    }
    return buffer.get();
}

bool CFileMD5::DigestInChunks(HANDLE file, BYTE (&digest)[md5DigestSize])
{
    BYTE* bytes = Buffer(chunk);
    if (bytes == nullptr) {
        return false;
    }
    CFileChunks chunks(file, bytes, chunk);
    // A failing provider leaves the digest zero; a failing read gives none.
    if (!provider.Digest(chunks, digest)) {
        std::memset(digest, 0, md5DigestSize);
    }
    return !chunks.failed;
}

// In one read as long as the file is small enough and the heap gives the
// block; otherwise in chunks.
bool CFileMD5::DigestFile(HANDLE file, BYTE (&digest)[md5DigestSize])
{
    DWORD sizeHigh = 0;
    DWORD size = GetFileSize(file, &sizeHigh);
    if (sizeHigh != 0 || size == INVALID_FILE_SIZE || size > wholeLimit) {
        return DigestInChunks(file, digest);
    }
    DWORD readed = 0;
    if (size != 0) {
        BYTE* bytes = Buffer(size);
        if (bytes == nullptr) {
            return DigestInChunks(file, digest);
        }
        if (!ReadFile(file, bytes, size, &readed, nullptr)) {
            return false;
        }
    }
    // A file that shrank since its size was taken is digested as it was
    // read; an empty one is not read at all.
    if (!provider.Digest(size != 0 ? static_cast<const void*>(buffer.get()) : "", readed, digest)) {
        std::memset(digest, 0, md5DigestSize);
    }
    return true;
}

const char* CFileMD5::Digest(LPCSTR path)
{
    if (path == nullptr || chunk == 0) {
        return nullptr;
    }
    BYTE digest[md5DigestSize] = {};
    {
        CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     0, nullptr));
        if (!file.IsOpen() || !DigestFile(file.Get(), digest)) {
            return nullptr;
        }
    }
    for (DWORD i = 0; i < md5DigestSize; ++i) {
        text[2 * i] = HexDigit(digest[i] >> 4);
        text[2 * i + 1] = HexDigit(digest[i] & 15);
    }
    text[2 * md5DigestSize] = '\0';
    return text;
}

const char* GetFileMD5(LPCSTR path)
{
    return GetFileMD5(path, md5WholeReadLimit, md5ChunkSize);
}

const char* GetFileMD5(LPCSTR path, DWORD wholeReadLimit, DWORD chunkSize)
{
    CFileMD5 files(wholeReadLimit, chunkSize);
    const char* text = files.Digest(path);
    if (text == nullptr) {
        return nullptr;
    }
    std::memcpy(digestText, text, sizeof(digestText));
    return digestText;
}
