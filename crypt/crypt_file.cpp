#include "crypt_file.h"

#include "base/bounded_text.h"
#include "base/handle_owner.h"
#include "crypt_action_data.h"
#include "property_items.h"
#include "range_block.h"
#include "range_cipher.h"

#include <cstdint>

BOOL CryptBuffer(BYTE* data, LONG length, const char* pass)
{
    return TransformBuffer(data, length, pass, cipherEncrypt);
}

BOOL TransformBuffer(BYTE* data, LONG length, const char* pass, int mode)
{
    char key[cryptPassCapacity] = {};
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

namespace {

// The cipher of one range, keyed before the file is read: everything that
// can fail for want of memory or of CryptoAPI is behind it before the first
// byte is written, and turning the new bytes back needs nothing new.
class CRangeKey {
public:
    explicit CRangeKey(const char* pass) : cipher(BoundedPass(pass, text)) { SecureZeroMemory(text, sizeof(text)); }
    ~CRangeKey() { SecureZeroMemory(text, sizeof(text)); }
    CRangeKey(const CRangeKey&) = delete;
    CRangeKey& operator=(const CRangeKey&) = delete;

    const CRangeCipher& Cipher() const { return cipher; }

private:
    // The first 31 characters count, as CryptBuffer's copy of the pass phrase keeps them.
    static const char* BoundedPass(const char* pass, char (&into)[cryptPassCapacity])
    {
        CopyBounded(into, cryptPassCapacity, pass);
        return into;
    }

    char text[cryptPassCapacity] = {};
    CRangeCipher cipher;
};

class CUndoTransform : public CRangeUndo {
public:
    CUndoTransform(const CRangeCipher& cipher, int mode) : cipher(cipher), mode(mode) {}

    bool Undo(BYTE* data, LONG length) override
    {
        int inverse = mode == cipherEncrypt ? cipherDecrypt : cipherEncrypt;
        return cipher.Transform(inverse, data, length) == cipherOk;
    }

private:
    const CRangeCipher& cipher;
    int mode;
};

}  // namespace

HANDLE OpenRangeFile(const char* fname)
{
    return CreateFileA(fname, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

LONG TransformFileRange(const char* fname, const char* pass, LONG start, LONG length, int mode,
                        RangeFault* fault)
{
    RangeFault unused = rangeFaultNone;
    RangeFault& why = fault != nullptr ? *fault : unused;
    why = rangeFaultNone;
    CFileHandle file(OpenRangeFile(fname));
    if (!file.IsOpen()) {
        why = rangeFaultOpen;
        return -1;
    }
    uint64_t size = 0;
    if (!ReadFileSize64(file.Get(), &size)) {
        why = rangeFaultRead;
        return -1;
    }
    why = ResolveRange(size, start, &length);
    if (why != rangeFaultNone) {
        return -1;
    }
    // An empty range goes to the cipher as it is: it needs no key, and
    // nothing is read or written.
    if (length == 0) {
        BYTE none = 0;
        if (!TransformBuffer(&none, 0, pass, mode)) {
            why = rangeFaultCipher;
            return -1;
        }
        return 0;
    }
    CRangeKey key(pass);
    if (!key.Cipher().IsValid()) {
        why = rangeFaultCipher;
        return -1;
    }
    // One block holds the range: bytes past the end of the file stay zero,
    // and a failed write gets the old bytes back by the inverse transform.
    CRangeBlock block(length);
    if (!block.IsValid()) {
        why = rangeFaultMemory;
        return -1;
    }
    // A read that fails or comes back short would leave zeros in place of
    // the data, so the file is skipped instead.
    DWORD oldSize = static_cast<DWORD>(size);
    if (!ReadRange(file.Get(), start, length, oldSize, block.Get())) {
        why = rangeFaultRead;
        return -1;
    }
    CipherPrepare(block.Get(), length, -1);
    if (key.Cipher().Transform(mode, block.Get(), length) != cipherOk) {
        why = rangeFaultCipher;
        return -1;
    }
    CUndoTransform undo(key.Cipher(), mode);
    switch (RewriteRange(file.Get(), start, length, oldSize, block.Get(), undo, &why)) {
    case rangeWritten:
        return length;
    case rangeUnchanged:
        return -1;
    default:
        return cryptRangeDamaged;
    }
}

namespace {

// Zeroes a buffer that held the pass phrase on every way out.
class CWipeOnExit {
public:
    CWipeOnExit(void* data, size_t size) : data(data), size(size) {}
    ~CWipeOnExit() { SecureZeroMemory(data, size); }
    CWipeOnExit(const CWipeOnExit&) = delete;
    CWipeOnExit& operator=(const CWipeOnExit&) = delete;

private:
    void* data;
    size_t size;
};

// The one loop of both modes: folder and item make each path, and every
// listed file gets the range. Splits files and params in place.
void CryptListedFiles(const char* folder, char* files, char* params, const char* pass)
{
    LONG start = 0;
    LONG length = 0;
    // Without both numbers there is no range to encrypt.
    if (!SplitRange(params, &start, &length)) {
        return;
    }
    char* cursor = files;
    for (char* item = NextPropertyItem(&cursor); item != nullptr; item = NextPropertyItem(&cursor)) {
        // An item that climbs out of the folder, or names a drive or a stream,
        // would have the installer's rights encrypt a file it did not install.
        if (!ItemStaysInFolder(item)) {
            continue;
        }
        char fname[MAX_PATH] = {};
        // A cut path could name another file, which would then be encrypted.
        if (CopyBounded(fname, MAX_PATH, folder) == S_OK &&
            AppendBounded(fname, MAX_PATH, item) == S_OK) {
            CryptFileRange(fname, pass, start, length);
        }
    }
}

void CryptFromProperties(MSIHANDLE session)
{
    char files[cryptFilesCapacity] = {};
    DWORD size = cryptFilesCapacity;
    if (MsiGetPropertyA(session, "Files", files, &size) != ERROR_SUCCESS) {
        return;
    }
    char folder[cryptFolderCapacity] = {};
    size = cryptFolderCapacity;
    if (MsiGetTargetPathA(session, "_DBASE_", folder, &size) != ERROR_SUCCESS) {
        return;
    }
    char params[cryptParamsCapacity] = {};
    size = cryptParamsCapacity;
    if (MsiGetPropertyA(session, "RectPyrc", params, &size) != ERROR_SUCCESS) {
        return;
    }
    char pass[cryptPassCapacity] = {};
    CWipeOnExit wipePass(pass, sizeof(pass));
    size = cryptPassCapacity;
    if (MsiGetPropertyA(session, "ProductNameShort", pass, &size) != ERROR_SUCCESS) {
        return;
    }
    CryptListedFiles(folder, files, params, pass);
}

// From the installation script no property but CustomActionData can be read,
// so the package hands the four values over in it.
void CryptFromActionData(MSIHANDLE session)
{
    char data[cryptActionDataCapacity] = {};
    CWipeOnExit wipeData(data, sizeof(data));
    DWORD size = cryptActionDataCapacity;
    if (MsiGetPropertyA(session, "CustomActionData", data, &size) != ERROR_SUCCESS) {
        return;
    }
    CryptActionFields fields = {};
    if (SplitCryptActionData(data, &fields)) {
        CryptListedFiles(fields.folder, fields.files, fields.params, fields.pass);
    }
}

}  // namespace

void CryptInstalledFiles(MSIHANDLE session)
{
    if (MsiGetMode(session, MSIRUNMODE_SCHEDULED)) {
        CryptFromActionData(session);
    } else {
        CryptFromProperties(session);
    }
}
