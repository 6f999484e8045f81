// The binary listing as mediakit writes and reads it: depth-first folder
// records (index, folder count, file count, little-endian 32-bit), each
// followed by its 320-byte find-data records, folders first.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

const size_t listingHeaderSize = 12;
const size_t listingEntrySize = sizeof(WIN32_FIND_DATAA);

void AppendInt32(std::vector<uint8_t>& out, int32_t value);
int32_t ReadInt32At(const std::vector<uint8_t>& data, size_t offset);
