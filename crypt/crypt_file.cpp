#include "crypt_file.h"

#include "base/bounded_text.h"
#include "base/file_handle.h"
#include "property_items.h"
#include "range_cipher.h"

#include <memory>
#include <new>

namespace {

const DWORD filesCapacity = 1300;
const DWORD paramsCapacity = 255;
const DWORD passCapacity = 32;

bool SeekFromStart(HANDLE file, LONG start)
{
    return SetFilePointer(file, start, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

}  // namespace

BOOL CryptBuffer(BYTE* data, LONG length, const char* pass)
{
    return TransformBuffer(data, length, pass, cipherEncrypt);
}

BOOL TransformBuffer(BYTE* data, LONG length, const char* pass, int mode)
{
    char key[passCapacity] = {};
    CopyBounded(key, sizeof(key), pass);
    CipherPrepare(data, length, -1);
    int result = CipherTransform(mode, key, data, length);
    SecureZeroMemory(key, sizeof(key));
    return result == cipherOk ? TRUE : FALSE;
}

LONG CryptFileRange(const char* fname, const char* pass, LONG start, LONG length)
{
    return TransformFileRange(fname, pass, start, length, cipherEncrypt);
}

LONG TransformFileRange(const char* fname, const char* pass, LONG start, LONG length, int mode)
{
    // A negative start or a length below -1 names no range of the file.
    if (start < 0 || length < -1) {
        return -1;
    }
    CFileHandle file(CreateFileA(fname, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    if (!file.IsOpen()) {
        return -1;
    }
    if (length == -1) {
        DWORD size = GetFileSize(file.Get(), nullptr);
        // A size beyond the 32-bit signed range cannot be one range.
        if (size == INVALID_FILE_SIZE || size > 0x7FFFFFFFu) {
            return -1;
        }
        length = static_cast<LONG>(size);
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[static_cast<size_t>(length)]());
    if (!block) {
        return -1;
    }
    // Bytes past the end of the file stay zero; a read that fails outright
    // would leave zeros in place of the data, so the file is skipped instead.
    DWORD readed = 0;
    if ((start != 0 && !SeekFromStart(file.Get(), start)) ||
        !ReadFile(file.Get(), block.get(), static_cast<DWORD>(length), &readed, nullptr)) {
        return -1;
    }
    if (!TransformBuffer(block.get(), length, pass, mode)) {
        return -1;
    }
    DWORD written = 0;
    if (!SeekFromStart(file.Get(), start) ||
        !WriteFile(file.Get(), block.get(), static_cast<DWORD>(length), &written, nullptr)) {
        return -1;
    }
    return length;
}

void CryptInstalledFiles(MSIHANDLE session)
{
    char files[filesCapacity] = {};
    DWORD size = filesCapacity;
    if (MsiGetPropertyA(session, "Files", files, &size) != ERROR_SUCCESS) {
        return;
    }
    char folder[MAX_PATH] = {};
    size = MAX_PATH;
    if (MsiGetTargetPathA(session, "_DBASE_", folder, &size) != ERROR_SUCCESS) {
        return;
    }
    char params[paramsCapacity] = {};
    size = paramsCapacity;
    if (MsiGetPropertyA(session, "RectPyrc", params, &size) != ERROR_SUCCESS) {
        return;
    }
    LONG start = 0;
    LONG length = 0;
    // Without both numbers there is no range to encrypt.
    if (!SplitRange(params, &start, &length)) {
        return;
    }
    char pass[passCapacity] = {};
    size = passCapacity;
    if (MsiGetPropertyA(session, "ProductNameShort", pass, &size) != ERROR_SUCCESS) {
        return;
    }
    char* cursor = files;
    for (char* item = NextPropertyItem(&cursor); item != nullptr; item = NextPropertyItem(&cursor)) {
        char fname[MAX_PATH] = {};
        // A cut path could name another file, which would then be encrypted.
        if (CopyBounded(fname, MAX_PATH, folder) == S_OK &&
            AppendBounded(fname, MAX_PATH, item) == S_OK) {
            CryptFileRange(fname, pass, start, length);
        }
    }
    SecureZeroMemory(pass, sizeof(pass));
}
