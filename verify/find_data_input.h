// What the tree walker is told to expect: either the expected entries of each
// folder (listing mode) or a judgement of each entry found (per-entry mode).
// The slot order is part of the interface; there is no virtual destructor,
// objects are always destroyed through their own type.
#pragma once
#include <windows.h>

#include <vector>

class CFileIterator;

// A growable array of directory entries, as enumerated or as expected.
typedef std::vector<WIN32_FIND_DATAA> CFindDataArray;

class CFindDataInput {
public:
    // Once before the disk is read; false fails the walk at once.
    virtual BOOL Begin(CFileIterator* iterator) = 0;
    // Once after a walk whose Begin succeeded, whatever its result.
    virtual void End() = 0;
    // Listing mode: appends the expected entries of one folder. Index -1 is the
    // root; any other index is a position among the folder entries the previous
    // call at the parent level delivered.
    virtual BOOL GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded) = 0;
    // Around each descent into a subfolder, so that the next sibling is found
    // as if the descent had not happened.
    virtual LONG SavePosition() = 0;
    virtual void RestorePosition(LONG token) = 0;
    // Per-entry mode: judge one entry found on disk.
    virtual BOOL CheckFolder(const WIN32_FIND_DATAA& entry) = 0;
    virtual BOOL CheckFile(const WIN32_FIND_DATAA& entry) = 0;
    // Must not change during a walk.
    virtual BOOL IsPerEntry() = 0;

protected:
    ~CFindDataInput() = default;
};
