// POLYVAL on the processor's carry-less multiply, many blocks per
// reduction: PCLMULQDQ with SSE2, one block per instruction, and VPCLMULQDQ
// with AVX2, two. Each is compiled with its instructions enabled, so it is
// only called after the processor said it has them.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#define VESMARK_HAVE_CLMUL_PATH 1
#endif

// Blocks absorbed per reduction: the key's powers H^n .. H^2, H are kept.
const size_t polyvalClmulPowers = 16;

#ifdef VESMARK_HAVE_CLMUL_PATH
// powers[i] becomes the key's (n-i)-th power in POLYVAL's product (each
// carrying the x^-128 factors), highest first, two little-endian words each.
void PolyvalClmulPowers(const uint64_t key[2], uint64_t powers[polyvalClmulPowers][2]);
// state = POLYVAL continued over count whole blocks (PCLMULQDQ).
void PolyvalClmulUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                        const unsigned char* blocks, size_t count);
// The same over the whole groups of polyvalClmulPowers blocks among the
// first count (VPCLMULQDQ); answers how many blocks it absorbed.
size_t PolyvalClmulWideUpdate(uint64_t state[2], const uint64_t powers[polyvalClmulPowers][2],
                              const unsigned char* blocks, size_t count);
#endif
