// HCTR2 over AES-256: a wide-block, length-preserving, tweakable cipher for
// data of 16 bytes and more. Every output byte depends on every input byte.
#pragma once
#include "aes_key.h"

class CHctr2 {
public:
    static const size_t minLength = CAesKey::blockSize;

    // The hash key h = E(0) and the mask L = E(le128(1)) come from the AES key.
    explicit CHctr2(const CAesKey& aes);
    ~CHctr2();
    CHctr2(const CHctr2&) = delete;
    CHctr2& operator=(const CHctr2&) = delete;

    bool IsValid() const { return valid; }
    // In place; false (data unchanged) for data shorter than minLength or when
    // the provider fails.
    bool Encrypt(const BYTE* tweak, size_t tweakLength, BYTE* data, size_t length) const;
    bool Decrypt(const BYTE* tweak, size_t tweakLength, BYTE* data, size_t length) const;

private:
    bool Transform(bool encrypt, const BYTE* tweak, size_t tweakLength, BYTE* data,
                   size_t length) const;

    const CAesKey& aes;
    BYTE hashKey[CAesKey::blockSize] = {};
    BYTE mask[CAesKey::blockSize] = {};
    bool valid = false;
};
