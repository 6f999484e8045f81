// The binary listing as mediakit writes it: depth-first folder records
// (index, folder count, file count, little-endian 32-bit), each followed by
// its 320-byte find-data records, folders first. The library's reading of it
// is verify/listing_structure.h.
#pragma once
#include <cstdint>
#include <vector>

void AppendInt32(std::vector<uint8_t>& out, int32_t value);
