#include "file_md5.h"

#include "base/handle_owner.h"

#include <cstring>
#include <new>

namespace {

char digestText[2 * md5DigestSize + 1];

// Reads the file from its current position to its end, one chunk at a time,
// after a first block already read into the same buffer.
class CFileChunks : public CMD5Blocks {
public:
    CFileChunks(HANDLE file, BYTE* buffer, DWORD size, DWORD firstCount = 0)
        : handle(file), chunk(buffer), chunkSize(size), pending(firstCount) {}

    BOOL Next(const BYTE*& bytes, DWORD& count) override
    {
        bytes = chunk;
        if (pending != 0) {
            count = pending;
            pending = 0;
            return TRUE;
        }
        DWORD readed = 0;
        if (!ReadFile(handle, chunk, chunkSize, &readed, nullptr)) {
            failed = true;
            return FALSE;
        }
        count = readed;
        return readed != 0;
    }

    bool failed = false;

private:
    HANDLE handle;
    BYTE* chunk;
    DWORD chunkSize;
    DWORD pending;
};

// A failing provider leaves the digest zero; a failing read gives none.
bool DigestChunks(CMD5Provider& provider, CFileChunks chunks, BYTE (&digest)[md5DigestSize])
{
    if (!provider.Digest(chunks, digest)) {
        std::memset(digest, 0, md5DigestSize);
    }
    return !chunks.failed;
}

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
    return DigestChunks(provider, CFileChunks(file, bytes, chunk), digest);
}

// One read asks for a byte more than the whole-read limit: a file that comes
// back shorter was read whole, without asking its size first; a longer one
// goes on in chunks after what was read. A read only comes back short at the
// end of a file.
bool CFileMD5::DigestFile(HANDLE file, BYTE (&digest)[md5DigestSize])
{
    DWORD first = wholeLimit < MAXDWORD ? wholeLimit + 1 : wholeLimit;
    BYTE* bytes = Buffer(first > chunk ? first : chunk);
    if (bytes == nullptr) {
        return DigestInChunks(file, digest);
    }
    DWORD readed = 0;
    if (!ReadFile(file, bytes, first, &readed, nullptr)) {
        return false;
    }
    if (readed == first) {
        return DigestChunks(provider, CFileChunks(file, bytes, chunk, readed), digest);
    }
    if (!provider.Digest(readed != 0 ? static_cast<const void*>(bytes) : "", readed, digest)) {
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
