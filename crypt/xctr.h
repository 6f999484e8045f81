// XCTR, the counter mode inside HCTR2: keystream block i (from 1) is
// E(nonce ^ le128(i)); the data are XORed with it. Its own inverse.
#pragma once
#include "aes_key.h"
#include "polyval.h"

// outputHash, when given, absorbs every whole block of the result as it is
// made, while it is still in the cache (HCTR2 hashes XCTR's output).
bool XctrApply(const CAesKey& aes, const BYTE nonce[CAesKey::blockSize], BYTE* data,
               size_t length, CPolyval* outputHash = nullptr);
