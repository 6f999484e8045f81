// The 256-bit products and their reduction, shared by both carry-less
// multiply paths. Everything here has internal linkage: each path compiles
// its own copy with its own instruction set, so the linker cannot hand code
// that runs before the processor was asked a copy built for more than SSE2.
#pragma once
#include <emmintrin.h>
#include <wmmintrin.h>

namespace {

// The product of two field elements, unreduced, as three parts: low and high
// 128-bit halves and the middle (cross) product.
struct CClmulWide {
    __m128i low, middle, high;
};

inline CClmulWide ClmulWideZero()
{
    CClmulWide sum = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    return sum;
}

inline void ClmulMultiplyAdd(CClmulWide& sum, __m128i a, __m128i b)
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
inline __m128i ClmulReduce(const CClmulWide& sum)
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

inline __m128i ClmulLoad(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void ClmulStore(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

}  // namespace
