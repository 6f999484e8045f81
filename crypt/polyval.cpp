#include "polyval.h"

#include <cstring>

#ifdef VESMARK_HAVE_CLMUL_PATH
#ifdef _MSC_VER
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace {

bool forceSoftware = false;

// CPUID leaf 1: PCLMULQDQ is ECX bit 1, SSE2 is EDX bit 26.
bool CpuHasClmul()
{
#ifdef VESMARK_HAVE_CLMUL_PATH
#ifdef _MSC_VER
    int info[4] = {};
    __cpuid(info, 0);
    if (info[0] < 1) {
        return false;
    }
    __cpuid(info, 1);
    unsigned ecx = static_cast<unsigned>(info[2]);
    unsigned edx = static_cast<unsigned>(info[3]);
#else
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
#endif
    return (ecx & (1u << 1)) != 0 && (edx & (1u << 26)) != 0;
#else
    return false;
#endif
}

uint64_t LoadLe64(const BYTE* bytes)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void StoreLe64(BYTE* bytes, uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

// One Montgomery step: adds the multiple of the field polynomial that clears
// the lowest word, then drops that word (a division by x^64). The polynomial
// is 1 below x^64, so the multiple is the word itself; its terms x^121, x^126,
// x^127 and x^128 land, after the division, at x^57, x^62, x^63 and x^64.
void ReduceStep(uint64_t& w0, uint64_t& w1, uint64_t& w2)
{
    w1 ^= (w0 << 63) ^ (w0 << 62) ^ (w0 << 57);
    w2 ^= w0 ^ (w0 >> 1) ^ (w0 >> 2) ^ (w0 >> 7);
}

}  // namespace

CPolyval::CPolyval(const BYTE key[blockSize])
{
    uint64_t low = LoadLe64(key);
    uint64_t high = LoadLe64(key + 8);
    key0 = ClmulSplit(low);
    key1 = ClmulSplit(high);
    key01 = ClmulSplit(low ^ high);
    key0r = ClmulSplit(Reverse64(low));
    key1r = ClmulSplit(Reverse64(high));
    key01r = ClmulSplit(Reverse64(low ^ high));
#ifdef VESMARK_HAVE_CLMUL_PATH
    useClmul = !forceSoftware && PolyvalClmulAvailable();
    if (useClmul) {
        uint64_t keyWords[2] = {low, high};
        PolyvalClmulPowers(keyWords, powers);
        SecureZeroMemory(keyWords, sizeof(keyWords));
    }
#endif
    SecureZeroMemory(&low, sizeof(low));
    SecureZeroMemory(&high, sizeof(high));
}

CPolyval::~CPolyval()
{
    // The key and the state are derived from the cipher key.
    SecureZeroMemory(&key0, sizeof(key0));
    SecureZeroMemory(&key1, sizeof(key1));
    SecureZeroMemory(&key01, sizeof(key01));
    SecureZeroMemory(&key0r, sizeof(key0r));
    SecureZeroMemory(&key1r, sizeof(key1r));
    SecureZeroMemory(&key01r, sizeof(key01r));
#ifdef VESMARK_HAVE_CLMUL_PATH
    SecureZeroMemory(powers, sizeof(powers));
#endif
    SecureZeroMemory(state, sizeof(state));
}

void CPolyval::Reset()
{
    state[0] = 0;
    state[1] = 0;
}

// state = (state ^ block) * key * x^-128, the product by Karatsuba from three
// 64-bit carry-less products, then two Montgomery steps.
void CPolyval::AbsorbBlock(uint64_t low, uint64_t high)
{
    uint64_t a0 = state[0] ^ low;
    uint64_t a1 = state[1] ^ high;
    uint64_t a01 = a0 ^ a1;
    uint64_t z0lo, z0hi, z2lo, z2hi, z1lo, z1hi;
    Clmul64(a0, key0, key0r, &z0lo, &z0hi);
    Clmul64(a1, key1, key1r, &z2lo, &z2hi);
    Clmul64(a01, key01, key01r, &z1lo, &z1hi);
    z1lo ^= z0lo ^ z2lo;
    z1hi ^= z0hi ^ z2hi;
    uint64_t w0 = z0lo;
    uint64_t w1 = z0hi ^ z1lo;
    uint64_t w2 = z2lo ^ z1hi;
    uint64_t w3 = z2hi;
    ReduceStep(w0, w1, w2);
    ReduceStep(w1, w2, w3);
    state[0] = w2;
    state[1] = w3;
}

void CPolyval::Update(const BYTE* blocks, size_t length)
{
#ifdef VESMARK_HAVE_CLMUL_PATH
    if (useClmul) {
        PolyvalClmulUpdate(state, powers, blocks, length / blockSize);
        return;
    }
#endif
    for (size_t done = 0; done + blockSize <= length; done += blockSize) {
        AbsorbBlock(LoadLe64(blocks + done), LoadLe64(blocks + done + 8));
    }
}

void CPolyval::UpdatePadded(const BYTE* data, size_t length)
{
    size_t whole = length - length % blockSize;
    Update(data, whole);
    if (whole < length) {
        BYTE last[blockSize] = {};
        std::memcpy(last, data + whole, length - whole);
        Update(last, blockSize);
    }
}

void CPolyval::Final(BYTE digest[blockSize]) const
{
    StoreLe64(digest, state[0]);
    StoreLe64(digest + 8, state[1]);
}

bool PolyvalClmulAvailable()
{
    static const bool available = CpuHasClmul();
    return available;
}

void PolyvalUseSoftware(bool software)
{
    forceSoftware = software;
}
