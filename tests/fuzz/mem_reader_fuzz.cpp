// Arbitrary bytes through ReadLine and the seeks: no read may leave the data,
// positions stay inside it, and delivered lines never hold a line end.
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    // The first two bytes steer the line limit and the seek pattern.
    DWORD maxLength = data[0];
    uint8_t steer = data[1];
    CFuzzReader reader(data + 2, size - 2);
    DWORD total = static_cast<DWORD>(size - 2);
    std::vector<char> line(maxLength + 1);
    for (int round = 0; round < 64; ++round) {
        DWORD before = reader.SeekFromCurrent(0);
        LONG length = reader.ReadLine(line.data(), maxLength);
        Require(length >= -1 && length <= static_cast<LONG>(maxLength));
        if (length > 0) {
            Require(std::memchr(line.data(), '\r', length) == nullptr);
            Require(std::memchr(line.data(), '\n', length) == nullptr);
            Require(line[length] == '\0');
        }
        if (length == -1) {
            Require(reader.SeekFromCurrent(0) == before);
        }
        switch ((steer >> (round % 4 * 2)) & 3) {
        case 0:
            Require(reader.SeekFromCurrent(round) <= total);
            break;
        case 1:
            Require(reader.SeekFromEnd(round * 7u) <= total);
            break;
        case 2:
            Require(reader.SeekFromStart(round * 3u) <= total);
            break;
        default: {
            char chunk[5];
            Require(reader.Read(chunk, sizeof(chunk)) <= sizeof(chunk));
            break;
        }
        }
    }
    return 0;
}
