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

// The digest of everything blocks delivers, through one hash of a
// verify-only context acquired for this call and released before it returns,
// in a module-wide buffer that the next call overwrites (not re-entrant).
// Never null: when CryptoAPI fails the digest is 16 zero bytes, which
// matches no row.
const BYTE* GetMD5(CMD5Blocks& blocks);
// The same for count bytes, hashed in one call.
const BYTE* GetMD5(const void* bytes, DWORD count);

// The upper-case hexadecimal digit of the low four bits of value.
char HexDigit(unsigned value);
