// Arbitrary bytes as a listing: GetFolder walked the way the walker asks,
// with indexes steered by the input. No read may leave the data, no skip may
// spin or recurse without end, and delivered names are always terminated. A
// listing that Begin accepts as whole serves every folder it asks for.
#include "verify/find_data_from_bin.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>

namespace {

void Walk(CFindDataFromBin& input, LONG index, int depth, int& budget, bool whole)
{
    CFindDataArray folders;
    CFindDataArray files;
    if (--budget < 0) {
        return;
    }
    if (!input.GetFolder(index, folders, files)) {
        Require(!whole);
        return;
    }
    for (const CFindDataArray* entries : {&folders, &files}) {
        for (const WIN32_FIND_DATAA& entry : *entries) {
            Require(std::memchr(entry.cFileName, '\0', sizeof(entry.cFileName)) != nullptr);
        }
    }
    if (depth >= 8) {
        return;
    }
    for (size_t k = 0; k < folders.size() && budget > 0; ++k) {
        LONG token = input.SavePosition();
        Walk(input, static_cast<LONG>(k), depth + 1, budget, whole);
        input.RestorePosition(token);
        Require(input.SavePosition() == token);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    // The first byte picks an index to ask for out of order after the root.
    LONG strayIndex = static_cast<LONG>(static_cast<int8_t>(data[0]));
    CFuzzReader reader(data + 1, size - 1);
    CFindDataFromBin input(&reader);
    bool whole = input.Begin(nullptr) != FALSE;
    Require(whole == (input.Structure().fault == listingWhole));
    Require(reader.SeekFromCurrent(0) == 0);
    int budget = 256;
    Walk(input, -1, 0, budget, whole);
    CFindDataArray folders;
    CFindDataArray files;
    input.GetFolder(strayIndex, folders, files);
    Require(reader.SeekFromCurrent(0) <= size - 1);
    return 0;
}
