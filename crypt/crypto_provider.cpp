#include "crypto_provider.h"

namespace {

// Destroys the hash on every way out.
class CHashHandle {
public:
    CHashHandle(HCRYPTPROV provider, ALG_ID algorithm)
    {
        if (!CryptCreateHash(provider, algorithm, 0, 0, &hash)) {
            hash = 0;
        }
    }
    ~CHashHandle()
    {
        if (hash != 0) {
            CryptDestroyHash(hash);
        }
    }
    CHashHandle(const CHashHandle&) = delete;
    CHashHandle& operator=(const CHashHandle&) = delete;
    HCRYPTHASH hash = 0;
};

}  // namespace

CCryptoProvider::CCryptoProvider()
{
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        provider = 0;
    }
}

CCryptoProvider::~CCryptoProvider()
{
    if (provider != 0) {
        CryptReleaseContext(provider, 0);
    }
}

bool CCryptoProvider::Sha256(const BYTE* first, DWORD firstLength, const BYTE* second,
                             DWORD secondLength, BYTE digest[32]) const
{
    if (provider == 0) {
        return false;
    }
    CHashHandle sha(provider, CALG_SHA_256);
    DWORD digestLength = 32;
    return sha.hash != 0 && CryptHashData(sha.hash, first, firstLength, 0) &&
           CryptHashData(sha.hash, second, secondLength, 0) &&
           CryptGetHashParam(sha.hash, HP_HASHVAL, digest, &digestLength, 0) && digestLength == 32;
}
