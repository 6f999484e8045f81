// A verify-only context of the platform's AES provider (PROV_RSA_AES), which
// gives the cipher its SHA-256 and its AES-256; released when destroyed.
#pragma once
#include <windows.h>
#include <wincrypt.h>

class CCryptoProvider {
public:
    CCryptoProvider();
    ~CCryptoProvider();
    CCryptoProvider(const CCryptoProvider&) = delete;
    CCryptoProvider& operator=(const CCryptoProvider&) = delete;

    bool IsValid() const { return provider != 0; }
    HCRYPTPROV Handle() const { return provider; }

    // SHA-256 of the two parts one after the other; false when CryptoAPI fails.
    bool Sha256(const BYTE* first, DWORD firstLength, const BYTE* second, DWORD secondLength,
                BYTE digest[32]) const;

private:
    HCRYPTPROV provider = 0;
};
