#include "xctr.h"

#include <cstdint>
#include <cstring>

namespace {

// Counter blocks are made and encrypted a batch at a time, so the provider
// is called once per 4 KiB rather than once per block.
const size_t batchBlocks = 256;

}  // namespace

bool XctrApply(const CAesKey& aes, const BYTE nonce[CAesKey::blockSize], BYTE* data,
               size_t length, CPolyval* outputHash)
{
    const size_t block = CAesKey::blockSize;
    BYTE keystream[batchBlocks * CAesKey::blockSize];
    // The counter is XORed in little-endian into the nonce's low word;
    // lengths here stay far below 2^64 blocks, so its high word is untouched.
    uint64_t nonceLow = 0;
    for (int i = 7; i >= 0; --i) {
        nonceLow = (nonceLow << 8) | nonce[i];
    }
    uint64_t counter = 1;
    bool ok = true;
    for (size_t done = 0; ok && done < length;) {
        size_t part = length - done < sizeof(keystream) ? length - done : sizeof(keystream);
        size_t blocks = (part + block - 1) / block;
        for (size_t b = 0; b < blocks; ++b, ++counter) {
            BYTE* counterBlock = keystream + b * block;
            uint64_t low = nonceLow ^ counter;
            for (int i = 0; i < 8; ++i) {
                counterBlock[i] = static_cast<BYTE>(low >> (8 * i));
            }
            std::memcpy(counterBlock + 8, nonce + 8, 8);
        }
        ok = aes.EncryptBlocks(keystream, static_cast<DWORD>(blocks * block));
        if (ok) {
            for (size_t i = 0; i < part; ++i) {
                data[done + i] ^= keystream[i];
            }
            if (outputHash != nullptr) {
                // Every part but the last is whole blocks.
                outputHash->Update(data + done, part - part % block);
            }
            done += part;
        }
    }
    SecureZeroMemory(&nonceLow, sizeof(nonceLow));
    SecureZeroMemory(keystream, sizeof(keystream));
    return ok;
}
