#include "launcher/command_tail.h"

// Codes are compared unsigned: a byte of 0x80 or above (a Cyrillic letter in
// code page 1251) is part of a name, not a blank. Neither a blank nor a quote
// can be the trail byte of a double-byte character, so bytes are looked at
// one by one.
const char* CommandTailOf(const char* commandLine)
{
    const unsigned char* next = reinterpret_cast<const unsigned char*>(commandLine);
    if (*next == '"') {
        ++next;
        while (*next != '\0' && *next != '"') {
            ++next;
        }
        if (*next == '"') {
            ++next;
        }
    } else {
        while (*next > ' ') {
            ++next;
        }
    }
    while (*next != '\0' && *next <= ' ') {
        ++next;
    }
    return reinterpret_cast<const char*>(next);
}
