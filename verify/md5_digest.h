// The MD5 digest of data through CryptoAPI.
#pragma once
#include <windows.h>
#include <wincrypt.h>

const DWORD md5DigestSize = 16;

// Hands the data to digest over block by block, in order.
class CMD5Blocks {
public:
    // The next block; false when there is no more data.
    virtual BOOL Next(const BYTE*& bytes, DWORD& count) = 0;

protected:
    ~CMD5Blocks() = default;
};

// One verify-only provider context for many digests, so that a check does
// not set up the provider again for every file. The context is acquired by
// the first digest that needs it; an acquisition that fails fails that digest
// only, and the next one tries again, as a context of its own would.
class CMD5Provider {
public:
    CMD5Provider() = default;
    ~CMD5Provider();
    CMD5Provider(const CMD5Provider&) = delete;
    CMD5Provider& operator=(const CMD5Provider&) = delete;

    // The digest of everything blocks delivers, through one hash object of
    // its own; false at the first CryptoAPI call that fails.
    bool Digest(CMD5Blocks& blocks, BYTE (&digest)[md5DigestSize]);
    // The digest of count bytes, hashed in one call.
    bool Digest(const void* bytes, DWORD count, BYTE (&digest)[md5DigestSize]);
    // Gives the context back; the next digest acquires a new one.
    void Release();

private:
    HCRYPTPROV handle = 0;
};

// The digest of count bytes, hashed in one call, in a module-wide buffer that
// the next call overwrites (not re-entrant). Never null: when CryptoAPI fails
// the digest is 16 zero bytes.
const BYTE* GetMD5(const void* bytes, DWORD count);
// The digest of everything blocks delivers, through one hash; the same
// buffer and failure rule.
const BYTE* GetMD5(CMD5Blocks& blocks);

// The upper-case hexadecimal digit of the low four bits of value.
char HexDigit(unsigned value);
