// When two directory entries count as the same: names always (the names'
// identity: without regard to case, as the file systems compare them), then
// each field whose ignore flag is zero. With packageByName an entry named
// "setup.msi" matches on its name alone: the matcher of the root's files,
// where the package lies.
#pragma once
#include "find_data_input.h"

struct CFindDataCompare {
    BOOL ignoreCreationTime;
    BOOL ignoreLastAccessTime;
    BOOL ignoreLastWriteTime;
    BOOL ignoreSize;
    BOOL ignoreAttributes;
    BOOL packageByName;

    BOOL Match(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const;
    // Orders by the fields not ignored, names aside: 0 when all of them are equal.
    int CompareFields(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const;
    // Position of the first element of list that matches entry, or -1.
    LONG Find(const CFindDataArray& list, const WIN32_FIND_DATAA& entry) const;
    // Every element of a has a match in b.
    BOOL Covers(const CFindDataArray& a, const CFindDataArray& b) const;
    // Covers both ways; the counts are not compared directly.
    BOOL IsSame(const CFindDataArray& a, const CFindDataArray& b) const;
};

// Folder entries are compared by name only.
extern const CFindDataCompare cmpFolders;
// File entries: name, low 32 bits of the size, and attributes.
extern const CFindDataCompare cmpFiles;
// The root's file entries: as cmpFiles, but the package setup.msi by name only.
extern const CFindDataCompare cmpRootFiles;
