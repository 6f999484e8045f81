#include "property_items.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool IsSeparator(char c)
{
    return c == ',' || c == ';';
}

}  // namespace

char* NextPropertyItem(char** cursor)
{
    char* position = *cursor;
    while (IsSeparator(*position)) {
        ++position;
    }
    if (*position == '\0') {
        *cursor = position;
        return nullptr;
    }
    char* item = position;
    while (*position != '\0' && !IsSeparator(*position)) {
        ++position;
    }
    if (*position != '\0') {
        *position++ = '\0';
    }
    *cursor = position;
    return item;
}

LONG PropertyItemToLong(const char* item)
{
    // long is 64-bit on POSIX hosts and 32-bit on Windows: clamp the same way on both.
    long value = std::strtol(item, nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<LONG>(value);
}

bool SplitRange(char* params, LONG* start, LONG* length)
{
    char* cursor = params;
    const char* startItem = NextPropertyItem(&cursor);
    const char* lengthItem = startItem != nullptr ? NextPropertyItem(&cursor) : nullptr;
    if (lengthItem == nullptr) {
        return false;
    }
    *start = PropertyItemToLong(startItem);
    *length = PropertyItemToLong(lengthItem);
    return true;
}
