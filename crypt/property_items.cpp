#include "property_items.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool IsSeparator(char c)
{
    return c == ',' || c == ';';
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Windows drops trailing dots and blanks from a component, so one made of
// nothing else with two dots in it means the parent folder.
bool ClimbsOut(const char* component, size_t length)
{
    size_t dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (component[i] != '.' && component[i] != ' ') {
            return false;
        }
        dots += component[i] == '.' ? 1 : 0;
    }
    return dots >= 2;
}

}  // namespace

bool ItemStaysInFolder(const char* item)
{
    if (IsPathSeparator(item[0]) || std::strchr(item, ':') != nullptr) {
        return false;
    }
    for (const char* component = item;;) {
        size_t length = std::strcspn(component, "\\/");
        if (ClimbsOut(component, length)) {
            return false;
        }
        if (component[length] == '\0') {
            return true;
        }
        component += length + 1;
    }
}

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
