#include "md5_digest.h"

#include <cstring>

namespace {

BYTE digest[md5DigestSize];

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

}  // namespace

CMD5Provider::~CMD5Provider()
{
    Release();
}

void CMD5Provider::Release()
{
    if (handle != 0) {
        CryptReleaseContext(handle, 0);
        handle = 0;
    }
}

bool CMD5Provider::Digest(CMD5Blocks& blocks, BYTE (&bHash)[md5DigestSize])
{
    // A verify-only context opens no key container.
    if (handle == 0 && !CryptAcquireContextA(&handle, nullptr, nullptr, PROV_RSA_FULL,
                                             CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
        handle = 0;
        return false;
    }
    // The hash object goes before the context can.
    CCryptHash hHash;
    if (!CryptCreateHash(handle, CALG_MD5, 0, 0, &hHash.handle)) {
        return false;
    }
    const BYTE* bytes = nullptr;
    DWORD count = 0;
    while (blocks.Next(bytes, count)) {
        if (!CryptHashData(hHash.handle, bytes, count, 0)) {
            return false;
        }
    }
    DWORD dwHashLen = md5DigestSize;
    return CryptGetHashParam(hHash.handle, HP_HASHVAL, bHash, &dwHashLen, 0) &&
           dwHashLen == md5DigestSize;
}

bool CMD5Provider::Digest(const void* bytes, DWORD count, BYTE (&bHash)[md5DigestSize])
{
    COneBlock block(bytes, count);
    return Digest(block, bHash);
}

const BYTE* GetMD5(const void* bytes, DWORD count)
{
    COneBlock block(bytes, count);
    return GetMD5(block);
}

const BYTE* GetMD5(CMD5Blocks& blocks)
{
    std::memset(digest, 0, sizeof(digest));
    BYTE bHash[md5DigestSize];
    CMD5Provider provider;
    // On failure the digest stays 16 zero bytes, which matches no row.
    if (provider.Digest(blocks, bHash)) {
        std::memcpy(digest, bHash, md5DigestSize);
    }
    return digest;
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}
