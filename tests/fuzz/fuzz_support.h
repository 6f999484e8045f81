// What the fuzz targets share: a reader over the fuzzer's bytes, and a check
// that ends the run (so libFuzzer keeps the input) when a property breaks.
#pragma once
#include "verify/mem_reader.h"

#include <cstdint>
#include <cstdlib>

class CFuzzReader : public CMemReader {
public:
    CFuzzReader(const uint8_t* data, size_t size) : CMemReader(static_cast<LPCSTR>(nullptr))
    {
        SetData(data, static_cast<DWORD>(size));
    }
};

inline void Require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}
