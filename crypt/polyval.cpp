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

// Until a test chooses one, hashes use the best engine.
bool engineChosen = false;
PolyvalEngine chosenEngine = polyvalSoftware;

PolyvalEngine EngineInUse()
{
    if (!engineChosen) {
        return PolyvalBestEngine();
    }
    return chosenEngine < PolyvalClaimedEngine() ? chosenEngine : PolyvalClaimedEngine();
}

#ifdef VESMARK_HAVE_CLMUL_PATH
// False when the processor has no such leaf (or, on an old 32-bit one, no
// CPUID at all).
bool Cpuid(unsigned leaf, unsigned registers[4])
{
#ifdef _MSC_VER
    int info[4] = {};
    __cpuid(info, 0);
    if (static_cast<unsigned>(info[0]) < leaf) {
        return false;
    }
    __cpuidex(info, static_cast<int>(leaf), 0);
    for (int i = 0; i < 4; ++i) {
        registers[i] = static_cast<unsigned>(info[i]);
    }
    return true;
#else
    return __get_cpuid_count(leaf, 0, &registers[0], &registers[1], &registers[2], &registers[3]) != 0;
#endif
}

// The register state the system saves across thread switches (XCR0).
uint64_t SavedRegisterState()
{
#ifdef _MSC_VER
    return _xgetbv(0);
#else
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
#endif
}
#endif

// Leaf 1: PCLMULQDQ is ECX bit 1, SSE2 EDX bit 26; OSXSAVE ECX bit 27 and
// AVX ECX bit 28. Leaf 7: AVX2 is EBX bit 5, VPCLMULQDQ ECX bit 10. The
// 256-bit registers also need the system to save them (XCR0 bits 1 and 2).
PolyvalEngine ClaimedByProcessor()
{
#ifdef VESMARK_HAVE_CLMUL_PATH
    unsigned leaf1[4] = {}, leaf7[4] = {};
    if (!Cpuid(1, leaf1) || (leaf1[2] & (1u << 1)) == 0 || (leaf1[3] & (1u << 26)) == 0) {
        return polyvalSoftware;
    }
    const unsigned osxsaveAndAvx = (1u << 27) | (1u << 28);
    if ((leaf1[2] & osxsaveAndAvx) != osxsaveAndAvx || (SavedRegisterState() & 6) != 6 || !Cpuid(7, leaf7)) {
        return polyvalClmul;
    }
    bool wide = (leaf7[1] & (1u << 5)) != 0 && (leaf7[2] & (1u << 10)) != 0;
    return wide ? polyvalClmulWide : polyvalClmul;
#else
    return polyvalSoftware;
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

CPolyval::CPolyval(const BYTE key[blockSize]) : CPolyval(key, EngineInUse()) {}

CPolyval::CPolyval(const BYTE key[blockSize], PolyvalEngine engineToUse) : engine(engineToUse)
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
    if (engine != polyvalSoftware) {
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
    if (engine != polyvalSoftware) {
        size_t count = length / blockSize;
        size_t done = engine == polyvalClmulWide ? PolyvalClmulWideUpdate(state, powers, blocks, count) : 0;
        PolyvalClmulUpdate(state, powers, blocks + done * blockSize, count - done);
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

PolyvalEngine PolyvalClaimedEngine()
{
    static const PolyvalEngine claimed = ClaimedByProcessor();
    return claimed;
}

// An engine the processor claims must give the portable code's hash on a
// message that takes every path of it (whole groups and a remainder) before
// any hash uses it: one run wrongly, by an emulator or a faulty build, would
// encrypt ranges that no other machine decrypts.
bool PolyvalEngineAgrees(PolyvalEngine engine)
{
    BYTE key[CPolyval::blockSize];
    BYTE message[(2 * polyvalClmulPowers + 3) * CPolyval::blockSize];
    uint32_t seed = 0x9E3779B9u;
    for (BYTE* byte = key; byte != key + sizeof(key); ++byte) {
        *byte = static_cast<BYTE>((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    for (BYTE* byte = message; byte != message + sizeof(message); ++byte) {
        *byte = static_cast<BYTE>((seed = seed * 1664525u + 1013904223u) >> 24);
    }
    BYTE digests[2][CPolyval::blockSize];
    PolyvalEngine engines[2] = {polyvalSoftware, engine};
    for (int i = 0; i < 2; ++i) {
        CPolyval polyval(key, engines[i]);
        polyval.Update(message, sizeof(message));
        polyval.Final(digests[i]);
    }
    return std::memcmp(digests[0], digests[1], sizeof(digests[0])) == 0;
}

PolyvalEngine PolyvalBestEngine()
{
    static const PolyvalEngine best = [] {
        PolyvalEngine engine = PolyvalClaimedEngine();
        while (engine != polyvalSoftware && !PolyvalEngineAgrees(engine)) {
            engine = static_cast<PolyvalEngine>(engine - 1);
        }
        return engine;
    }();
    return best;
}

void PolyvalUseEngine(PolyvalEngine engine)
{
    engineChosen = true;
    chosenEngine = engine;
}
