// POLYVAL on the processor's carry-less multiply (PCLMULQDQ with SSE2),
// several blocks per reduction. Compiled with those instructions enabled,
// so it is only called after the processor said it has them.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#define VESMARK_HAVE_CLMUL_PATH 1
#endif

// Blocks absorbed per reduction: the key's powers H, H^2 .. H^n are kept.
const size_t polyvalClmulPowers = 8;

#ifdef VESMARK_HAVE_CLMUL_PATH
// powers[i] becomes the key's (i+1)-th power in POLYVAL's product (each
// carrying the x^-128 factors), two little-endian words per power.
void PolyvalClmulPowers(const uint64_t key[2], uint64_t powers[polyvalClmulPowers][2]);
// state = POLYVAL continued over count whole blocks.
void PolyvalClmulUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                        const unsigned char* blocks, size_t count);
#endif
