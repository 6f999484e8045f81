#include "md5_digest.h"

#include <wincrypt.h>

#include <cstring>

namespace {

BYTE digest[md5DigestSize];

// A failed CryptoAPI call ends the digest; GetMD5 catches this itself.
void Require(BOOL succeeded)
{
    if (!succeeded) {
        throw 1;
    }
}

// Released on every way out, hash before context.
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

}  // namespace

const BYTE* GetMD5(const void* bytes, DWORD count)
{
    COneBlock block(bytes, count);
    return GetMD5(block);
}

const BYTE* GetMD5(CMD5Blocks& blocks)
{
    std::memset(digest, 0, sizeof(digest));
    try {
        // A verify-only context opens no key container.
        CCryptContext hCryptProv;
        Require(CryptAcquireContextA(&hCryptProv.handle, nullptr, nullptr, PROV_RSA_FULL,
                                     CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET));
        CCryptHash hHash;
        Require(CryptCreateHash(hCryptProv.handle, CALG_MD5, 0, 0, &hHash.handle));
        const BYTE* bytes = nullptr;
        DWORD count = 0;
        while (blocks.Next(bytes, count)) {
            Require(CryptHashData(hHash.handle, bytes, count, 0));
        }
        BYTE bHash[md5DigestSize];
        DWORD dwHashLen = md5DigestSize;
        Require(CryptGetHashParam(hHash.handle, HP_HASHVAL, bHash, &dwHashLen, 0));
        std::memcpy(digest, bHash, md5DigestSize);
    } catch (...) {
        // Nothing leaves: the digest stays 16 zero bytes, which matches no row.
    }
    return digest;
}

char HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 15];
}
