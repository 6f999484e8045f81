// POLYVAL: the universal hash of HCTR2, over GF(2^128) modulo
// x^128 + x^127 + x^126 + x^121 + 1 with little-endian blocks.
#pragma once
#include "clmul64.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

class CPolyval {
public:
    static const size_t blockSize = 16;

    explicit CPolyval(const BYTE key[blockSize]);
    ~CPolyval();
    CPolyval(const CPolyval&) = delete;
    CPolyval& operator=(const CPolyval&) = delete;

    // Starts a new hash with the same key.
    void Reset();
    // Absorbs whole blocks: length is a multiple of blockSize.
    void Update(const BYTE* blocks, size_t length);
    // Absorbs data of any length padded with zeros to a block boundary.
    void UpdatePadded(const BYTE* data, size_t length);
    void Final(BYTE digest[blockSize]) const;

private:
    void AbsorbBlock(uint64_t low, uint64_t high);

    // The key's words, their XOR for the middle Karatsuba product, and the
    // bit reversals of all three, split once for the multiplications.
    CClmulOperand key0, key1, key01;
    CClmulOperand key0r, key1r, key01r;
    uint64_t state0 = 0, state1 = 0;
};
