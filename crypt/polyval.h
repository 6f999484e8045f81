// POLYVAL: the universal hash of HCTR2, over GF(2^128) modulo
// x^128 + x^127 + x^126 + x^121 + 1 with little-endian blocks.
#pragma once
#include "clmul64.h"
#include "polyval_clmul.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The ways to compute POLYVAL, slowest first: the portable code, the
// carry-less multiply (PCLMULQDQ), and that two blocks at a time (VPCLMULQDQ
// on 256-bit registers, which needs AVX2 and the system's support for them).
enum PolyvalEngine { polyvalSoftware, polyvalClmul, polyvalClmulWide };

class CPolyval {
public:
    static const size_t blockSize = 16;

    // Uses the fastest engine this processor runs (see PolyvalUseEngine);
    // every engine gives the same hash.
    explicit CPolyval(const BYTE key[blockSize]);
    // Uses engine, which the processor must claim.
    CPolyval(const BYTE key[blockSize], PolyvalEngine engine);
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
#ifdef VESMARK_HAVE_CLMUL_PATH
    uint64_t powers[polyvalClmulPowers][2] = {};
#endif
    PolyvalEngine engine;
    uint64_t state[2] = {};
};

// The fastest engine the processor says it can run (CPUID, and the system
// for the wide one).
PolyvalEngine PolyvalClaimedEngine();
// Whether engine gives the portable code's hash on a test message.
bool PolyvalEngineAgrees(PolyvalEngine engine);
// The fastest claimed engine that agrees with the portable code; the one
// hashes use by default.
PolyvalEngine PolyvalBestEngine();
// For tests: hashes made afterwards use engine, even one that disagrees,
// or the fastest claimed one when the processor does not claim engine;
// PolyvalUseEngine(PolyvalBestEngine()) is the default again.
void PolyvalUseEngine(PolyvalEngine engine);
