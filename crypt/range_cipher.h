// The cipher behind CryptFile: HCTR2 over AES-256 keyed by a pass phrase,
// length-preserving, for ranges of any length. The format is in docs/cipher.md.
#pragma once
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
