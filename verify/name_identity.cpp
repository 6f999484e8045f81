#include "name_identity.h"

#include <cstring>

void FoldName(const char* name, CNameKey& key, UINT codePage)
{
    WCHAR wide[MAX_PATH];
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH);
    if (length <= 0) {
        // Private-use code units, one per byte: distinct bytes stay distinct.
        length = 0;
        for (; name[length] != '\0' && length < MAX_PATH - 1; ++length) {
            wide[length] = static_cast<WCHAR>(0xF000 | static_cast<unsigned char>(name[length]));
        }
        wide[length++] = 0;
    }
    // The invariant locale without linguistic casing maps case as the file
    // systems' case table does, one code unit to one; it is there since XP.
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide, length, key.text, MAX_PATH) != length) {
        std::memcpy(key.text, wide, static_cast<size_t>(length) * sizeof(WCHAR));
    }
}

int CompareFolded(const WCHAR* a, const WCHAR* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}

size_t FoldedLength(const WCHAR* folded)
{
    size_t length = 0;
    while (folded[length] != 0) {
        ++length;
    }
    return length;
}

int CompareNames(const char* a, const char* b, UINT codePage)
{
    CNameKey keyA;
    CNameKey keyB;
    FoldName(a, keyA, codePage);
    FoldName(b, keyB, codePage);
    return CompareFolded(keyA.text, keyB.text);
}

void CFoldedNames::Add(const char* name)
{
    CNameKey key;
    FoldName(name, key);
    starts.push_back(static_cast<DWORD>(units.size()));
    units.insert(units.end(), key.text, key.text + FoldedLength(key.text) + 1);
}
