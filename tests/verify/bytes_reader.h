// A memory reader over bytes a test made.
#pragma once
#include "verify/mem_reader.h"

#include <cstdint>
#include <vector>

class CBytesReader : public CMemReader {
public:
    explicit CBytesReader(const std::vector<uint8_t>& data) : CMemReader(static_cast<LPCSTR>(nullptr))
    {
        SetData(data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
    }
};
