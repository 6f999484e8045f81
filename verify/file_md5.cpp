#include "file_md5.h"

#include "base/handle_owner.h"

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
        bytes = chunk;
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
};

}  // namespace

const char* GetFileMD5(LPCSTR path, HCRYPTPROV context, DWORD chunkSize)
{
    if (path == nullptr || chunkSize == 0 || chunkSize > md5ChunkSize) {
        return nullptr;
    }
    // On the heap: a custom action runs on a thread whose stack the installer sizes.
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[chunkSize]);
    if (!chunk) {
        return nullptr;
    }
    const BYTE* digest = nullptr;
    {
        CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file.IsOpen()) {
            return nullptr;
        }
        CFileChunks chunks(file.Get(), chunk.get(), chunkSize);
        digest = GetMD5(chunks, context);
        if (chunks.failed) {
            return nullptr;
        }
    }
    for (DWORD i = 0; i < md5DigestSize; ++i) {
        digestText[2 * i] = HexDigit(digest[i] >> 4);
        digestText[2 * i + 1] = HexDigit(digest[i] & 15);
    }
    digestText[2 * md5DigestSize] = '\0';
    return digestText;
}
