// An AES-256 key of the platform's provider, imported as a plain-text key
// blob and set to ECB: the block cipher under XCTR and HCTR2.
#pragma once
#include "crypto_provider.h"

#include <cstddef>

class CAesKey {
public:
    static const size_t keySize = 32;
    static const size_t blockSize = 16;

    CAesKey(const CCryptoProvider& provider, const BYTE key[keySize]);
    ~CAesKey();
    CAesKey(const CAesKey&) = delete;
    CAesKey& operator=(const CAesKey&) = delete;

    bool IsValid() const { return key != 0; }
    // Whole blocks in place; length is a multiple of blockSize.
    bool EncryptBlocks(BYTE* blocks, DWORD length) const;
    bool DecryptBlocks(BYTE* blocks, DWORD length) const;

private:
    HCRYPTKEY key = 0;
};
