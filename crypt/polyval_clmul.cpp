#include "polyval_clmul.h"

#ifdef VESMARK_HAVE_CLMUL_PATH
#include "polyval_clmul_reduce.h"

void PolyvalClmulPowers(const uint64_t key[2], uint64_t powers[polyvalClmulPowers][2])
{
    __m128i h = ClmulLoad(key);
    __m128i power = h;
    ClmulStore(powers[polyvalClmulPowers - 1], power);
    for (size_t i = 2; i <= polyvalClmulPowers; ++i) {
        CClmulWide product = ClmulWideZero();
        ClmulMultiplyAdd(product, power, h);
        power = ClmulReduce(product);
        ClmulStore(powers[polyvalClmulPowers - i], power);
    }
}

// Up to polyvalClmulPowers blocks at a time: (S ^ X1) H^k ^ X2 H^(k-1) ^ ...
// ^ Xk H equals k sequential steps, and needs one reduction instead of k.
void PolyvalClmulUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                        const unsigned char* blocks, size_t count)
{
    __m128i s = ClmulLoad(state);
    while (count > 0) {
        size_t k = count < polyvalClmulPowers ? count : polyvalClmulPowers;
        const uint64_t(*power)[2] = powers + (polyvalClmulPowers - k);
        CClmulWide sum = ClmulWideZero();
        ClmulMultiplyAdd(sum, _mm_xor_si128(s, ClmulLoad(blocks)), ClmulLoad(power[0]));
        for (size_t i = 1; i < k; ++i) {
            ClmulMultiplyAdd(sum, ClmulLoad(blocks + 16 * i), ClmulLoad(power[i]));
        }
        s = ClmulReduce(sum);
        blocks += 16 * k;
        count -= k;
    }
    ClmulStore(state, s);
}

#endif
