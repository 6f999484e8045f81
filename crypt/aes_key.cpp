#include "aes_key.h"

#include <cstring>

CAesKey::CAesKey(const CCryptoProvider& provider, const BYTE keyBytes[keySize])
{
    if (!provider.IsValid()) {
        return;
    }
    struct {
        BLOBHEADER header;
        DWORD size;
        BYTE bytes[keySize];
    } blob {};
    blob.header.bType = PLAINTEXTKEYBLOB;
    blob.header.bVersion = CUR_BLOB_VERSION;
    blob.header.aiKeyAlg = CALG_AES_256;
    blob.size = keySize;
    std::memcpy(blob.bytes, keyBytes, keySize);
    static_assert(sizeof(blob) == sizeof(BLOBHEADER) + sizeof(DWORD) + keySize,
                  "the key blob has no padding");
    BOOL imported = CryptImportKey(provider.Handle(), reinterpret_cast<const BYTE*>(&blob),
                                   sizeof(blob), 0, 0, &key);
    SecureZeroMemory(&blob, sizeof(blob));
    if (!imported) {
        key = 0;
        return;
    }
    // A new AES key chains blocks (CBC); every caller here wants single blocks.
    DWORD mode = CRYPT_MODE_ECB;
    if (!CryptSetKeyParam(key, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0)) {
        CryptDestroyKey(key);
        key = 0;
    }
}

CAesKey::~CAesKey()
{
    if (key != 0) {
        CryptDestroyKey(key);
    }
}

bool CAesKey::EncryptBlocks(BYTE* blocks, DWORD length) const
{
    DWORD done = length;
    // Not the final call, so no padding block is added.
    return key != 0 && length % blockSize == 0 &&
           CryptEncrypt(key, 0, FALSE, 0, blocks, &done, length) && done == length;
}

bool CAesKey::DecryptBlocks(BYTE* blocks, DWORD length) const
{
    DWORD done = length;
    return key != 0 && length % blockSize == 0 &&
           CryptDecrypt(key, 0, FALSE, 0, blocks, &done) && done == length;
}
