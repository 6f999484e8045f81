// How the checks tell names apart: as Windows' file systems do, without
// regard to case and without a locale. Two ANSI names are the same name when
// their Unicode forms, each character upper-cased on its own, are equal; and
// names are ordered by those folded forms, code unit by code unit, so every
// sorted index is in one total order that no user setting can change.
#pragma once
#include <windows.h>

#include <vector>

// The folded form of a name shorter than MAX_PATH bytes: never more code
// units than the name has bytes, and a terminator.
struct CNameKey {
    WCHAR text[MAX_PATH];
};

// Bytes that are no text in the code page (a broken double-byte character)
// fold to a form of their own, which no text's form equals.
void FoldName(const char* name, CNameKey& key, UINT codePage = CP_ACP);
// Negative, 0 or positive, as folded form a sorts before, equals or sorts after b.
int CompareFolded(const WCHAR* a, const WCHAR* b);
// The code units of a folded form, the terminator not counted.
size_t FoldedLength(const WCHAR* folded);
// FoldName both, then CompareFolded.
int CompareNames(const char* a, const char* b, UINT codePage = CP_ACP);

// The folded forms of many names, kept one after another in one block.
class CFoldedNames {
public:
    // Room for names holding bytes bytes in all, terminators counted: a name
    // never folds to more code units than it has bytes.
    void Reserve(size_t names, size_t bytes)
    {
        starts.reserve(names);
        units.reserve(bytes);
    }
    void Add(const char* name);
    const WCHAR* operator[](size_t position) const { return units.data() + starts[position]; }

private:
    std::vector<WCHAR> units;
    std::vector<DWORD> starts;
};
