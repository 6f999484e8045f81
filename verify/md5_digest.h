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

// The digest of everything blocks delivers, through one hash, in a
// module-wide buffer that the next call overwrites (not re-entrant). The hash
// is made in context, or without one in a verify-only context acquired for
// this call and released before it returns. Never null: when CryptoAPI fails
// the digest is 16 zero bytes, which matches no row.
const BYTE* GetMD5(CMD5Blocks& blocks, HCRYPTPROV context = 0);
// The same for count bytes, hashed in one call.
const BYTE* GetMD5(const void* bytes, DWORD count);

// A verify-only context for the digests of one walk: acquiring one for each
// file costs the installer's process more than hashing a small file. Null
// when it cannot be acquired; each digest then tries on its own.
class CMD5Context {
public:
    CMD5Context();
    ~CMD5Context();
    CMD5Context(const CMD5Context&) = delete;
    CMD5Context& operator=(const CMD5Context&) = delete;

    HCRYPTPROV Get() const { return handle; }

private:
    HCRYPTPROV handle = 0;
};

// The upper-case hexadecimal digit of the low four bits of value.
char HexDigit(unsigned value);
