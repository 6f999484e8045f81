#include "polyval_clmul.h"

#ifdef VESMARK_HAVE_CLMUL_PATH
#include "polyval_clmul_reduce.h"

#include <immintrin.h>

namespace {

// Two blocks per register: lane 0 the earlier block, lane 1 the later.
struct CClmulWidePair {
    __m256i low, middle, high;
};

__m256i LoadPair(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }

void MultiplyAddPair(CClmulWidePair& sum, __m256i a, __m256i b)
{
    sum.low = _mm256_xor_si256(sum.low, _mm256_clmulepi64_epi128(a, b, 0x00));
    sum.high = _mm256_xor_si256(sum.high, _mm256_clmulepi64_epi128(a, b, 0x11));
    sum.middle = _mm256_xor_si256(sum.middle, _mm256_clmulepi64_epi128(a, b, 0x10));
    sum.middle = _mm256_xor_si256(sum.middle, _mm256_clmulepi64_epi128(a, b, 0x01));
}

__m128i FoldLanes(__m256i v) { return _mm_xor_si128(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)); }

}  // namespace

// Whole groups of polyvalClmulPowers blocks, two per instruction: the
// powers are stored highest first, so the pair of blocks 2j and 2j+1 of a
// group takes the pair of powers at 2j as it lies in memory.
size_t PolyvalClmulWideUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                              const unsigned char* blocks, size_t count)
{
    const size_t group = polyvalClmulPowers;
    __m128i s = ClmulLoad(state);
    size_t done = 0;
    for (; count - done >= group; done += group, blocks += 16 * group) {
        CClmulWidePair sum = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
        for (size_t j = 1; j < group / 2; ++j) {
            MultiplyAddPair(sum, LoadPair(blocks + 32 * j), LoadPair(powers[2 * j]));
        }
        // The state enters last, so the products of the other blocks are
        // under way while the previous group is still being reduced.
        __m256i first = _mm256_xor_si256(LoadPair(blocks), _mm256_zextsi128_si256(s));
        MultiplyAddPair(sum, first, LoadPair(powers[0]));
        CClmulWide folded = {FoldLanes(sum.low), FoldLanes(sum.middle), FoldLanes(sum.high)};
        s = ClmulReduce(folded);
    }
    ClmulStore(state, s);
    return done;
}

#endif
