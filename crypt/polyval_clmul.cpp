#include "polyval_clmul.h"

#ifdef VESMARK_HAVE_CLMUL_PATH
#include <emmintrin.h>
#include <wmmintrin.h>

// Nothing here may be an inline function shared with other files: this file
// is compiled for SSE2 and PCLMULQDQ, and a shared copy could be the one the
// linker keeps for code that runs before the processor was asked.
namespace {

// The 256-bit product of two field elements, unreduced, as three parts:
// low and high 128-bit halves and the middle (cross) product.
struct CWide {
    __m128i low, middle, high;
};

void MultiplyAdd(CWide& sum, __m128i a, __m128i b)
{
    sum.low = _mm_xor_si128(sum.low, _mm_clmulepi64_si128(a, b, 0x00));
    sum.high = _mm_xor_si128(sum.high, _mm_clmulepi64_si128(a, b, 0x11));
    sum.middle = _mm_xor_si128(sum.middle, _mm_clmulepi64_si128(a, b, 0x10));
    sum.middle = _mm_xor_si128(sum.middle, _mm_clmulepi64_si128(a, b, 0x01));
}

// Multiplies the 256-bit value by x^-128 modulo the field polynomial: two
// Montgomery steps, each clearing the lowest word w by adding w times the
// polynomial. Below x^64 the polynomial is 1, so the step adds w itself one
// word up (the swap of halves) and w * (x^63 + x^62 + x^57) (the constant).
__m128i Reduce(const CWide& sum)
{
    const __m128i poly = _mm_set_epi32(static_cast<int>(0xc2000000u), 0, 0, 1);
    __m128i low = _mm_xor_si128(sum.low, _mm_slli_si128(sum.middle, 8));
    __m128i high = _mm_xor_si128(sum.high, _mm_srli_si128(sum.middle, 8));
    for (int step = 0; step < 2; ++step) {
        __m128i fold = _mm_clmulepi64_si128(low, poly, 0x10);
        low = _mm_xor_si128(_mm_shuffle_epi32(low, 0x4e), fold);
    }
    return _mm_xor_si128(low, high);
}

__m128i Dot(__m128i a, __m128i b)
{
    CWide sum = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    MultiplyAdd(sum, a, b);
    return Reduce(sum);
}

__m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

}  // namespace

void PolyvalClmulPowers(const uint64_t key[2], uint64_t powers[polyvalClmulPowers][2])
{
    __m128i h = Load(key);
    __m128i power = h;
    Store(powers[0], power);
    for (size_t i = 1; i < polyvalClmulPowers; ++i) {
        power = Dot(power, h);
        Store(powers[i], power);
    }
}

// Up to eight blocks at a time: (S ^ X1) H^k ^ X2 H^(k-1) ^ ... ^ Xk H equals
// k sequential steps, and needs one reduction instead of k.
void PolyvalClmulUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                        const unsigned char* blocks, size_t count)
{
    __m128i s = Load(state);
    while (count > 0) {
        size_t k = count < polyvalClmulPowers ? count : polyvalClmulPowers;
        CWide sum = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
        MultiplyAdd(sum, _mm_xor_si128(s, Load(blocks)), Load(powers[k - 1]));
        for (size_t i = 1; i < k; ++i) {
            MultiplyAdd(sum, Load(blocks + 16 * i), Load(powers[k - 1 - i]));
        }
        s = Reduce(sum);
        blocks += 16 * k;
        count -= k;
    }
    Store(state, s);
}

#endif
