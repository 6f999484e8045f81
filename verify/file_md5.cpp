#include "file_md5.h"

#include "base/handle_owner.h"
#include "md5_digest.h"

#include <memory>
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

const BYTE* DigestInChunks(HANDLE file, DWORD chunkSize)
{
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[chunkSize]);
    if (!chunk) {
        return nullptr;
    }
    CFileChunks chunks(file, chunk.get(), chunkSize);
    const BYTE* digest = GetMD5(chunks);
    return chunks.failed ? nullptr : digest;
}

// In one block as long as the file is small enough and the heap gives it;
// otherwise in chunks.
const BYTE* DigestFile(HANDLE file, DWORD wholeReadLimit, DWORD chunkSize)
{
    DWORD sizeHigh = 0;
    DWORD size = GetFileSize(file, &sizeHigh);
    if (size == 0 && sizeHigh == 0) {
        return GetMD5("", 0);
    }
    if (sizeHigh != 0 || size == INVALID_FILE_SIZE || size > wholeReadLimit) {
        return DigestInChunks(file, chunkSize);
    }
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer) {
        return DigestInChunks(file, chunkSize);
    }
    DWORD readed = 0;
    if (!ReadFile(file, buffer.get(), size, &readed, nullptr)) {
        return nullptr;
    }
    // A file that shrank since its size was taken is digested as it was read.
    return GetMD5(buffer.get(), readed);
}

}  // namespace

const char* GetFileMD5(LPCSTR path)
{
    return GetFileMD5(path, md5WholeReadLimit, md5ChunkSize);
}

const char* GetFileMD5(LPCSTR path, DWORD wholeReadLimit, DWORD chunkSize)
{
    if (path == nullptr || chunkSize == 0) {
        return nullptr;
    }
    const BYTE* digest = nullptr;
    {
        CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     0, nullptr));
        if (!file.IsOpen()) {
            return nullptr;
        }
        digest = DigestFile(file.Get(), wholeReadLimit, chunkSize);
    }
    if (digest == nullptr) {
        return nullptr;
    }
    for (DWORD i = 0; i < md5DigestSize; ++i) {
        digestText[2 * i] = HexDigit(digest[i] >> 4);
        digestText[2 * i + 1] = HexDigit(digest[i] & 15);
    }
    digestText[2 * md5DigestSize] = '\0';
    return digestText;
}
