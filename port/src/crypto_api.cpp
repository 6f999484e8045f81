// CryptoAPI over OpenSSL's libcrypto. Handles name objects of this file only;
// a handle that is not live is refused, as Windows refuses it.
#include <windows.h>
#include <wincrypt.h>
#include <port/host.h>

#include <openssl/evp.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace {

const DWORD aesBlockSize = 16;
const DWORD aes256KeySize = 32;

struct CryptProvider {
    DWORD type;
};

struct CryptHash {
    ALG_ID algorithm = 0;
    EVP_MD_CTX* context = nullptr;
    bool finished = false;
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int digestSize = 0;
    ~CryptHash() { EVP_MD_CTX_free(context); }
};

struct CryptKey {
    // A new AES key works in CBC mode until KP_MODE says otherwise.
    DWORD mode = CRYPT_MODE_CBC;
    EVP_CIPHER_CTX* encryptor = nullptr;
    EVP_CIPHER_CTX* decryptor = nullptr;
    ~CryptKey()
    {
        EVP_CIPHER_CTX_free(encryptor);
        EVP_CIPHER_CTX_free(decryptor);
    }
};

// The live objects of each kind: a handle that names none is refused, as
// Windows refuses a stale or foreign one.
template <typename T>
std::set<T*>& Live()
{
    static std::set<T*> objects;
    return objects;
}

template <typename T>
T* Find(ULONG_PTR handle)
{
    T* object = reinterpret_cast<T*>(handle);
    return Live<T>().count(object) != 0 ? object : nullptr;
}

// Takes the object: should filing it throw, no handle was given out, so it is deleted here.
template <typename T>
ULONG_PTR Register(T* object)
{
    std::unique_ptr<T> owned(object);
    Live<T>().insert(object);
    return reinterpret_cast<ULONG_PTR>(owned.release());
}

template <typename T>
BOOL Destroy(ULONG_PTR handle)
{
    T* object = reinterpret_cast<T*>(handle);
    if (Live<T>().erase(object) == 0) {
        return FALSE;
    }
    delete object;
    return TRUE;
}

std::string& FailingCall()
{
    static std::string name;
    return name;
}

// True when the host control says this call is to fail.
bool Refused(const char* functionName)
{
    const std::string& failing = FailingCall();
    return !failing.empty() && (failing == "*" || failing == functionName);
}

const EVP_MD* DigestOf(DWORD providerType, ALG_ID algorithm)
{
    // The base provider of type PROV_RSA_FULL knows no SHA-2; the AES provider knows both.
    // Fetched once: a digest named by EVP_md5() is looked up again, under a
    // lock, at every initialisation, which a check of many small files feels.
    static EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA2-256", nullptr);
    if (algorithm == CALG_MD5) {
        return md5;
    }
    if (algorithm == CALG_SHA_256 && providerType == PROV_RSA_AES) {
        return sha256;
    }
    return nullptr;
}

EVP_CIPHER_CTX* NewAesEcb(const BYTE* key, bool encrypt)
{
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == nullptr ||
        EVP_CipherInit_ex(context, EVP_aes_256_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(context, 0) != 1) {
        EVP_CIPHER_CTX_free(context);
        return nullptr;
    }
    return context;
}

// Whole blocks only: without the final call there is no padding to add or strip.
BOOL TransformBlocks(EVP_CIPHER_CTX* context, BYTE* data, DWORD length)
{
    if (length % aesBlockSize != 0 || (data == nullptr && length != 0)) {
        return FALSE;
    }
    const DWORD chunk = 1u << 30;
    for (DWORD done = 0; done < length;) {
        int part = static_cast<int>(length - done < chunk ? length - done : chunk);
        int written = 0;
        if (EVP_CipherUpdate(context, data + done, &written, data + done, part) != 1 ||
            written != part) {
            return FALSE;
        }
        done += static_cast<DWORD>(part);
    }
    return TRUE;
}

}  // namespace

void PortSetCryptoFailure(const std::string& functionName)
{
    FailingCall() = functionName;
}

BOOL WINAPI CryptAcquireContextA(HCRYPTPROV* provider, LPCSTR container, LPCSTR providerName,
                                 DWORD providerType, DWORD flags)
{
    if (provider == nullptr || Refused("CryptAcquireContextA")) {
        return FALSE;
    }
    // Only verify-only contexts of the default providers: no key containers here.
    // The machine key set flag only says where containers would be; a verify-only
    // context opens none, so Windows accepts it beside CRYPT_VERIFYCONTEXT.
    if (container != nullptr || providerName != nullptr ||
        (flags & ~CRYPT_MACHINE_KEYSET) != CRYPT_VERIFYCONTEXT ||
        (providerType != PROV_RSA_FULL && providerType != PROV_RSA_AES)) {
        return FALSE;
    }
    *provider = Register(new CryptProvider{providerType});
    return TRUE;
}

BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    if (flags != 0 || Refused("CryptReleaseContext")) {
        return FALSE;
    }
    return Destroy<CryptProvider>(provider);
}

BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                            HCRYPTHASH* hash)
{
    CryptProvider* owner = Find<CryptProvider>(provider);
    if (owner == nullptr || hash == nullptr || key != 0 || flags != 0 ||
        Refused("CryptCreateHash")) {
        return FALSE;
    }
    const EVP_MD* digest = DigestOf(owner->type, algorithm);
    if (digest == nullptr) {
        return FALSE;
    }
    CryptHash* created = new CryptHash;
    created->algorithm = algorithm;
    created->context = EVP_MD_CTX_new();
    if (created->context == nullptr || EVP_DigestInit_ex(created->context, digest, nullptr) != 1) {
        delete created;
        return FALSE;
    }
    *hash = Register(created);
    return TRUE;
}

BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD dataLength, DWORD flags)
{
    CryptHash* h = Find<CryptHash>(hash);
    // A hash whose value was taken is finished and takes no more data.
    if (h == nullptr || h->finished || flags != 0 || (data == nullptr && dataLength != 0) ||
        Refused("CryptHashData")) {
        return FALSE;
    }
    return EVP_DigestUpdate(h->context, data, dataLength) == 1 ? TRUE : FALSE;
}

BOOL WINAPI CryptGetHashParam(HCRYPTHASH hash, DWORD param, BYTE* data, DWORD* dataLength,
                              DWORD flags)
{
    CryptHash* h = Find<CryptHash>(hash);
    if (h == nullptr || dataLength == nullptr || flags != 0 || Refused("CryptGetHashParam")) {
        return FALSE;
    }
    DWORD size = static_cast<DWORD>(EVP_MD_CTX_get_size(h->context));
    BYTE value[sizeof(h->digest)] = {};
    DWORD valueSize = sizeof(DWORD);
    switch (param) {
    case HP_ALGID:
        std::memcpy(value, &h->algorithm, sizeof(DWORD));
        break;
    case HP_HASHSIZE:
        std::memcpy(value, &size, sizeof(DWORD));
        break;
    case HP_HASHVAL:
        valueSize = size;
        break;
    default:
        return FALSE;
    }
    if (data == nullptr) {
        *dataLength = valueSize;
        return TRUE;
    }
    if (*dataLength < valueSize) {
        *dataLength = valueSize;
        return FALSE;
    }
    if (param == HP_HASHVAL) {
        if (!h->finished) {
            if (EVP_DigestFinal_ex(h->context, h->digest, &h->digestSize) != 1) {
                return FALSE;
            }
            h->finished = true;
        }
        std::memcpy(value, h->digest, h->digestSize);
    }
    std::memcpy(data, value, valueSize);
    *dataLength = valueSize;
    return TRUE;
}

BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash)
{
    if (Refused("CryptDestroyHash")) {
        return FALSE;
    }
    return Destroy<CryptHash>(hash);
}

BOOL WINAPI CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD dataLength,
                           HCRYPTKEY publicKey, DWORD flags, HCRYPTKEY* key)
{
    CryptProvider* owner = Find<CryptProvider>(provider);
    if (owner == nullptr || data == nullptr || key == nullptr || publicKey != 0 || flags != 0 ||
        Refused("CryptImportKey")) {
        return FALSE;
    }
    // BLOBHEADER, the key's byte count as a DWORD, then the key bytes.
    BLOBHEADER header {};
    DWORD keySize = 0;
    if (dataLength < sizeof(header) + sizeof(keySize)) {
        return FALSE;
    }
    std::memcpy(&header, data, sizeof(header));
    std::memcpy(&keySize, data + sizeof(header), sizeof(keySize));
    if (header.bType != PLAINTEXTKEYBLOB || header.bVersion != CUR_BLOB_VERSION ||
        header.aiKeyAlg != CALG_AES_256 || owner->type != PROV_RSA_AES ||
        keySize != aes256KeySize || dataLength != sizeof(header) + sizeof(keySize) + keySize) {
        return FALSE;
    }
    const BYTE* keyBytes = data + sizeof(header) + sizeof(keySize);
    CryptKey* created = new CryptKey;
    created->encryptor = NewAesEcb(keyBytes, true);
    created->decryptor = NewAesEcb(keyBytes, false);
    if (created->encryptor == nullptr || created->decryptor == nullptr) {
        delete created;
        return FALSE;
    }
    *key = Register(created);
    return TRUE;
}

BOOL WINAPI CryptSetKeyParam(HCRYPTKEY key, DWORD param, const BYTE* data, DWORD flags)
{
    CryptKey* k = Find<CryptKey>(key);
    if (k == nullptr || data == nullptr || flags != 0 || param != KP_MODE ||
        Refused("CryptSetKeyParam")) {
        return FALSE;
    }
    DWORD mode = 0;
    std::memcpy(&mode, data, sizeof(mode));
    if (mode != CRYPT_MODE_ECB && mode != CRYPT_MODE_CBC) {
        return FALSE;
    }
    k->mode = mode;
    return TRUE;
}

// Only what the system uses is here: ECB over whole blocks, never a final
// (padded) call. Anything else fails rather than giving other bytes than Windows.
BOOL WINAPI CryptEncrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                         DWORD* dataLength, DWORD bufferLength)
{
    CryptKey* k = Find<CryptKey>(key);
    if (k == nullptr || dataLength == nullptr || hash != 0 || final || flags != 0 ||
        k->mode != CRYPT_MODE_ECB || *dataLength > bufferLength || Refused("CryptEncrypt")) {
        return FALSE;
    }
    return TransformBlocks(k->encryptor, data, *dataLength);
}

BOOL WINAPI CryptDecrypt(HCRYPTKEY key, HCRYPTHASH hash, BOOL final, DWORD flags, BYTE* data,
                         DWORD* dataLength)
{
    CryptKey* k = Find<CryptKey>(key);
    if (k == nullptr || dataLength == nullptr || hash != 0 || final || flags != 0 ||
        k->mode != CRYPT_MODE_ECB || Refused("CryptDecrypt")) {
        return FALSE;
    }
    return TransformBlocks(k->decryptor, data, *dataLength);
}

BOOL WINAPI CryptDestroyKey(HCRYPTKEY key)
{
    if (Refused("CryptDestroyKey")) {
        return FALSE;
    }
    return Destroy<CryptKey>(key);
}
