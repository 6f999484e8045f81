// Arbitrary property text through the item splitting and number conversion:
// items are never empty and hold no separator, they come in order, and
// together with the separators they are exactly the text; reading stays
// inside the terminated buffer.
#include "crypt/property_items.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Property values are terminated texts: the value ends at the first zero byte.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');

    std::string withoutSeparators;
    for (char c : text) {
        if (c != ',' && c != ';') {
            withoutSeparators += c;
        }
    }
    std::string joined;
    char* cursor = buffer.data();
    const char* previousEnd = buffer.data();
    for (char* item = NextPropertyItem(&cursor); item != nullptr; item = NextPropertyItem(&cursor)) {
        size_t length = std::strlen(item);
        Require(length > 0);
        Require(std::strpbrk(item, ",;") == nullptr);
        Require(item >= previousEnd && item + length <= buffer.data() + text.size());
        previousEnd = item + length;
        Require(cursor >= previousEnd && cursor <= buffer.data() + text.size());
        joined += item;
        // Conversion of any item must neither overflow nor read past it (the
        // sanitizers watch); its result is checked by the unit tests.
        PropertyItemToLong(item);
    }
    Require(joined == withoutSeparators);
    Require(NextPropertyItem(&cursor) == nullptr);
    return 0;
}
