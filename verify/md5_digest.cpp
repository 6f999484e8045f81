#include "md5_digest.h"

#include <cstring>

namespace {

BYTE digest[md5DigestSize];

struct CCryptContext {
    HCRYPTPROV handle = 0;
    ~CCryptContext()
    {
        if (handle != 0) {
            CryptReleaseContext(handle, 0);
        }
    }
};

struct CCryptHash {
    HCRYPTHASH handle = 0;
    ~CCryptHash()
    {
        if (handle != 0) {
            CryptDestroyHash(handle);
        }
    }
};

class COneBlock : public CMD5Blocks {
public:
    COneBlock(const void* data, DWORD size) : bytes(static_cast<const BYTE*>(data)), count(size) {}
    BOOL Next(const BYTE*& block, DWORD& blockCount) override
    {
        if (delivered) {
            return FALSE;
        }
        delivered = true;
        block = bytes;
        blockCount = count;
        return TRUE;
    }

private:
    const BYTE* bytes;
    DWORD count;
    bool delivered = false;
};

// false at the first CryptoAPI call that fails. Every block is read even
// then, so that a reader's own failure is still seen.
bool HashBlocks(CMD5Blocks& blocks, BYTE (&bHash)[md5DigestSize])
{
    // A verify-only context opens no key container. The hash object goes
    // before the context (reverse order of the declarations).
    CCryptContext hCryptProv;
    CCryptHash hHash;
    bool working = CryptAcquireContextA(&hCryptProv.handle, nullptr, nullptr, PROV_RSA_FULL,
                                        CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET) != FALSE;
    if (!working) {
        hCryptProv.handle = 0;
    }
    working = working && CryptCreateHash(hCryptProv.handle, CALG_MD5, 0, 0, &hHash.handle);
    const BYTE* bytes = nullptr;
    DWORD count = 0;
    while (blocks.Next(bytes, count)) {
        working = working && CryptHashData(hHash.handle, bytes, count, 0);
    }
    DWORD dwHashLen = md5DigestSize;
    return working && CryptGetHashParam(hHash.handle, HP_HASHVAL, bHash, &dwHashLen, 0) &&
           dwHashLen == md5DigestSize;
}

}  // namespace

const BYTE* GetMD5(CMD5Blocks& blocks)
{
    std::memset(digest, 0, sizeof(digest));
    BYTE bHash[md5DigestSize];
    if (HashBlocks(blocks, bHash)) {
        std::memcpy(digest, bHash, md5DigestSize);
    }
    return digest;
}

const BYTE* GetMD5(const void* bytes, DWORD count)
{
    COneBlock block(bytes, count);
    return GetMD5(block);
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}
