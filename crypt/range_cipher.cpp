#include "range_cipher.h"

#include <cstring>

namespace {

// Both the key derivation prefix and the HCTR2 tweak: fixed for the product,
// so that keys and ciphertexts of other uses of the same pass phrase differ.
const BYTE domainLabel[16] = {'V', 'e', 's', 'm', 'a', 'r', 'k', 'C',
                              'r', 'y', 'p', 't', 'F', 'i', 'l', 'e'};

bool ArgumentsUsable(const BYTE* data, LONG length)
{
    return length >= 0 && (data != nullptr || length == 0);
}

// Ranges shorter than HCTR2 takes: XOR with E(n, FF x 15), the same in both
// directions and different for every length.
bool ShortRangeApply(const CAesKey& aes, BYTE* data, LONG length)
{
    BYTE pad[CAesKey::blockSize];
    std::memset(pad, 0xFF, sizeof(pad));
    pad[0] = static_cast<BYTE>(length);
    bool ok = aes.EncryptBlocks(pad, sizeof(pad));
    if (ok) {
        for (LONG i = 0; i < length; ++i) {
            data[i] ^= pad[i];
        }
    }
    SecureZeroMemory(pad, sizeof(pad));
    return ok;
}

}  // namespace

int CipherPrepare(const BYTE* data, LONG length, LONG reserved)
{
    return ArgumentsUsable(data, length) && reserved == -1 ? cipherOk : cipherBadArgument;
}

int CipherTransform(int mode, const char* pass, BYTE* data, LONG length)
{
    if ((mode != cipherEncrypt && mode != cipherDecrypt) || pass == nullptr ||
        !ArgumentsUsable(data, length)) {
        return cipherBadArgument;
    }
    // An empty range needs no key, and so no CryptoAPI.
    if (length == 0) {
        return cipherOk;
    }
    CRangeCipher cipher(pass);
    return cipher.Transform(mode, data, length);
}

CRangeCipher::CDerivedKey::CDerivedKey(const CCryptoProvider& provider, const char* pass)
{
    made = pass != nullptr &&
           provider.Sha256(domainLabel, sizeof(domainLabel), reinterpret_cast<const BYTE*>(pass),
                           static_cast<DWORD>(std::strlen(pass)), bytes);
}

CRangeCipher::CRangeCipher(const char* pass) : derived(provider, pass), aes(provider, derived.bytes), hctr2(aes)
{
    SecureZeroMemory(derived.bytes, sizeof(derived.bytes));
    valid = derived.made && aes.IsValid() && hctr2.IsValid();
}

int CRangeCipher::Transform(int mode, BYTE* data, LONG length) const
{
    if ((mode != cipherEncrypt && mode != cipherDecrypt) || !ArgumentsUsable(data, length)) {
        return cipherBadArgument;
    }
    if (length == 0) {
        return cipherOk;
    }
    if (!valid) {
        return cipherUnavailable;
    }
    if (length < static_cast<LONG>(CHctr2::minLength)) {
        return ShortRangeApply(aes, data, length) ? cipherOk : cipherUnavailable;
    }
    bool ok = mode == cipherEncrypt
                  ? hctr2.Encrypt(domainLabel, sizeof(domainLabel), data, static_cast<size_t>(length))
                  : hctr2.Decrypt(domainLabel, sizeof(domainLabel), data, static_cast<size_t>(length));
    return ok ? cipherOk : cipherUnavailable;
}
