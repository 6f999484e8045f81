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

// A verify-only context opens no key container.
bool AcquireVerifyContext(HCRYPTPROV& handle)
{
    if (!CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
        handle = 0;
        return false;
    }
    return true;
}

// false at the first CryptoAPI call that fails. Every block is read even
// then, so that a reader's own failure is still seen.
bool HashBlocks(CMD5Blocks& blocks, HCRYPTPROV context, BYTE (&bHash)[md5DigestSize])
{
    // The hash object goes before the context (reverse order of the declarations).
    CCryptContext own;
    CCryptHash hHash;
    bool working = context != 0 || AcquireVerifyContext(own.handle);
    working = working && CryptCreateHash(context != 0 ? context : own.handle, CALG_MD5, 0, 0, &hHash.handle);
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

const BYTE* GetMD5(CMD5Blocks& blocks, HCRYPTPROV context)
{
    std::memset(digest, 0, sizeof(digest));
    BYTE bHash[md5DigestSize];
    if (HashBlocks(blocks, context, bHash)) {
        std::memcpy(digest, bHash, md5DigestSize);
    }
    return digest;
}

const BYTE* GetMD5(const void* bytes, DWORD count)
{
    COneBlock block(bytes, count);
    return GetMD5(block);
}

CMD5Context::CMD5Context()
{
    AcquireVerifyContext(handle);
}

CMD5Context::~CMD5Context()
{
    if (handle != 0) {
        CryptReleaseContext(handle, 0);
    }
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}
