// The cipher behind CryptFile: HCTR2 over AES-256 keyed by a pass phrase,
// length-preserving, for ranges of any length. The format is in docs/cipher.md.
#pragma once
#include "aes_key.h"
#include "crypto_provider.h"
#include "hctr2.h"

#include <windows.h>

enum CipherMode {
    cipherDecrypt = 1,
    cipherEncrypt = 2,
};

enum CipherResult {
    cipherOk = 0,
    cipherBadArgument = 1,   // no data for a non-empty range, a negative length, an unknown mode
    cipherUnavailable = 2,   // CryptoAPI could not give SHA-256 or AES-256
};

// The first operation: checks that the data and length are usable and changes
// nothing (the cipher needs no preparation). reserved is -1.
int CipherPrepare(const BYTE* data, LONG length, LONG reserved);

// Encrypts (cipherEncrypt) or decrypts (cipherDecrypt) length bytes in place,
// keyed by the text of pass (only the characters before its terminator
// count). After a non-zero result the data are not to be used: bad arguments
// and a provider that fails before the data are reached leave them as they
// were, a provider failing midway may not.
int CipherTransform(int mode, const char* pass, BYTE* data, LONG length);

// The cipher keyed once by a pass phrase (its text up to the terminator).
// Once valid it asks the system for nothing more than the key it holds, so a
// range can still be turned back after a failed write.
class CRangeCipher {
public:
    explicit CRangeCipher(const char* pass);
    CRangeCipher(const CRangeCipher&) = delete;
    CRangeCipher& operator=(const CRangeCipher&) = delete;

    bool IsValid() const { return valid; }
    // As CipherTransform with this cipher's pass phrase.
    int Transform(int mode, BYTE* data, LONG length) const;

private:
    // SHA-256 of the product's label and the pass phrase; held only until the
    // AES key is made from it.
    struct CDerivedKey {
        CDerivedKey(const CCryptoProvider& provider, const char* pass);
        ~CDerivedKey() { SecureZeroMemory(bytes, sizeof(bytes)); }
        CDerivedKey(const CDerivedKey&) = delete;
        CDerivedKey& operator=(const CDerivedKey&) = delete;
        BYTE bytes[CAesKey::keySize] = {};
        bool made = false;
    };

    CCryptoProvider provider;
    CDerivedKey derived;
    CAesKey aes;
    CHctr2 hctr2;
    bool valid = false;
};
