#include "hctr2.h"

#include "polyval.h"
#include "xctr.h"

#include <cstring>

namespace {

const size_t block = CAesKey::blockSize;

void XorInto(BYTE* target, const BYTE* source)
{
    for (size_t i = 0; i < block; ++i) {
        target[i] ^= source[i];
    }
}

// Hash(T, X) with the hash key: a length block, the padded tweak, then X
// (with a 01 byte after it when it ends in a partial block). Begin absorbs
// the first two; X's whole blocks go in by the caller's Update, and End
// absorbs the partial block and gives the digest.
void BeginTweakHash(CPolyval& polyval, const BYTE* tweak, size_t tweakLength, size_t length)
{
    // le128(16 * t + 2), or + 3 when X ends in a partial block: t counts bytes.
    uint64_t lengthWord = 16 * static_cast<uint64_t>(tweakLength) + (length % block == 0 ? 2 : 3);
    BYTE lengthBlock[block] = {};
    for (int i = 0; i < 8; ++i) {
        lengthBlock[i] = static_cast<BYTE>(lengthWord >> (8 * i));
    }
    polyval.Reset();
    polyval.Update(lengthBlock, block);
    polyval.UpdatePadded(tweak, tweakLength);
}

void EndTweakHash(CPolyval& polyval, const BYTE* data, size_t length, BYTE digest[block])
{
    size_t whole = length - length % block;
    if (whole < length) {
        BYTE last[block] = {};
        std::memcpy(last, data + whole, length - whole);
        last[length - whole] = 0x01;
        polyval.Update(last, block);
        SecureZeroMemory(last, sizeof(last));
    }
    polyval.Final(digest);
}

}  // namespace

CHctr2::CHctr2(const CAesKey& aesKey) : aes(aesKey)
{
    BYTE blocks[2 * block] = {};
    blocks[block] = 1;
    valid = aes.EncryptBlocks(blocks, sizeof(blocks));
    std::memcpy(hashKey, blocks, block);
    std::memcpy(mask, blocks + block, block);
    SecureZeroMemory(blocks, sizeof(blocks));
}

CHctr2::~CHctr2()
{
    SecureZeroMemory(hashKey, sizeof(hashKey));
    SecureZeroMemory(mask, sizeof(mask));
}

bool CHctr2::Encrypt(const BYTE* tweak, size_t tweakLength, BYTE* data, size_t length) const
{
    return Transform(true, tweak, tweakLength, data, length);
}

bool CHctr2::Decrypt(const BYTE* tweak, size_t tweakLength, BYTE* data, size_t length) const
{
    return Transform(false, tweak, tweakLength, data, length);
}

// Both directions in place over one buffer. Encrypting: the first block M
// becomes U, the tail N becomes V. Decrypting runs the same steps mirrored.
// The first block is written last, so a failure leaves the data as they were
// unless XCTR itself failed midway through the tail.
bool CHctr2::Transform(bool encrypt, const BYTE* tweak, size_t tweakLength, BYTE* data,
                       size_t length) const
{
    if (!valid || data == nullptr || length < minLength || (tweak == nullptr && tweakLength != 0)) {
        return false;
    }
    BYTE* tail = data + block;
    size_t tailLength = length - block;
    BYTE digest[block];
    BYTE inner[block];   // MM when encrypting, UU when decrypting
    BYTE outer[block];   // the other of the two
    BYTE nonce[block];

    CPolyval polyval(hashKey);
    BeginTweakHash(polyval, tweak, tweakLength, tailLength);
    polyval.Update(tail, tailLength - tailLength % block);
    EndTweakHash(polyval, tail, tailLength, digest);
    std::memcpy(inner, data, block);
    XorInto(inner, digest);
    std::memcpy(outer, inner, block);
    bool ok = encrypt ? aes.EncryptBlocks(outer, block) : aes.DecryptBlocks(outer, block);
    if (ok) {
        // S = MM ^ UU ^ L: symmetric in MM and UU, so the same in both directions.
        std::memcpy(nonce, inner, block);
        XorInto(nonce, outer);
        XorInto(nonce, mask);
        // The second hash is of XCTR's output, absorbed as it is made.
        BeginTweakHash(polyval, tweak, tweakLength, tailLength);
        ok = tailLength == 0 || XctrApply(aes, nonce, tail, tailLength, &polyval);
    }
    if (ok) {
        EndTweakHash(polyval, tail, tailLength, digest);
        XorInto(outer, digest);
        std::memcpy(data, outer, block);
    }
    SecureZeroMemory(digest, sizeof(digest));
    SecureZeroMemory(inner, sizeof(inner));
    SecureZeroMemory(outer, sizeof(outer));
    SecureZeroMemory(nonce, sizeof(nonce));
    return ok;
}
