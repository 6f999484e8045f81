#include "listing_format.h"

void AppendInt32(std::vector<uint8_t>& out, int32_t value)
{
    uint32_t raw = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(raw >> shift));
    }
}
