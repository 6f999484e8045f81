// Carry-less (polynomial over GF(2)) multiplication of 64-bit words in
// constant time: integer multiplies on operands with holes between their bits,
// never a branch or a table lookup on the operands.
#pragma once
#include <cstdint>

// One operand split into its four interleaved bit classes (every fourth bit),
// made once for an operand that is used many times, such as a hash key.
struct CClmulOperand {
    uint64_t part[4];
};

inline CClmulOperand ClmulSplit(uint64_t y)
{
    return CClmulOperand{{y & 0x1111111111111111ull, y & 0x2222222222222222ull,
                          y & 0x4444444444444444ull, y & 0x8888888888888888ull}};
}

// The low 64 bits of the carry-less product. Both operands are split into
// four bit classes with three-bit holes; a column of an integer product then
// sums at most 15 ones below bit 64, so carries stay inside the holes and are
// masked away.
inline uint64_t ClmulLow64(uint64_t x, const CClmulOperand& y)
{
    const uint64_t m0 = 0x1111111111111111ull;
    const uint64_t m1 = 0x2222222222222222ull;
    const uint64_t m2 = 0x4444444444444444ull;
    const uint64_t m3 = 0x8888888888888888ull;
    uint64_t x0 = x & m0, x1 = x & m1, x2 = x & m2, x3 = x & m3;
    const uint64_t* yp = y.part;
    uint64_t z0 = (x0 * yp[0]) ^ (x1 * yp[3]) ^ (x2 * yp[2]) ^ (x3 * yp[1]);
    uint64_t z1 = (x0 * yp[1]) ^ (x1 * yp[0]) ^ (x2 * yp[3]) ^ (x3 * yp[2]);
    uint64_t z2 = (x0 * yp[2]) ^ (x1 * yp[1]) ^ (x2 * yp[0]) ^ (x3 * yp[3]);
    uint64_t z3 = (x0 * yp[3]) ^ (x1 * yp[2]) ^ (x2 * yp[1]) ^ (x3 * yp[0]);
    return (z0 & m0) | (z1 & m1) | (z2 & m2) | (z3 & m3);
}

inline uint64_t Reverse64(uint64_t x)
{
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
    x = ((x >> 8) & 0x00FF00FF00FF00FFull) | ((x & 0x00FF00FF00FF00FFull) << 8);
    x = ((x >> 16) & 0x0000FFFF0000FFFFull) | ((x & 0x0000FFFF0000FFFFull) << 16);
    return (x >> 32) | (x << 32);
}

// The full 127-bit product of x and the operand y. Reversing both operands
// reverses the product, so the low word of the reversed product, reversed
// back, is the high part; yReversed is ClmulSplit(Reverse64(y)).
inline void Clmul64(uint64_t x, const CClmulOperand& y, const CClmulOperand& yReversed,
                    uint64_t* low, uint64_t* high)
{
    *low = ClmulLow64(x, y);
    *high = Reverse64(ClmulLow64(Reverse64(x), yReversed)) >> 1;
}
