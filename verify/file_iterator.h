// Walks a folder tree on disk depth-first and verifies it against an input:
// each folder's entries are compared completely before any subfolder is
// entered, subfolders in the order the disk enumerates them; the first
// difference ends the walk unless an observer asks for every difference.
#pragma once
#include "find_data_input.h"
#include "walk_observer.h"

#include <string>

class CFileIterator {
public:
    CFileIterator();
    virtual ~CFileIterator();

    CFileIterator(const CFileIterator&) = delete;
    CFileIterator& operator=(const CFileIterator&) = delete;

    // folder is the absolute root of the walk, ending with a backslash; fmask
    // may be null or empty for "*.*". 1 when the tree matches, 0 otherwise.
    BOOL Walk(CFindDataInput* walkInput, const char* folder, const char* fmask, int recursive);

    // During a walk: the absolute folder holding the entry being checked, and
    // the same folder relative to the root ("\" at the root, "\A\B\" below).
    const char* GetCurrentFolder() const { return currentFolder; }
    const char* GetRelativePath() const { return relativePath; }

    // Optional; with an observer the walk reports each difference to it and,
    // unless it asks to stop at the first, goes on to compare the rest.
    void SetObserver(CWalkObserver* walkObserver) { observer = walkObserver; }

private:
    void Reset(const char* fmask, int recursive);
    BOOL WalkFolder(LONG index, const char* folder);
    BOOL Enumerate(const char* folder, CFindDataArray& folders, CFindDataArray& files);
    BOOL CheckEachEntry(const CFindDataArray& folders, const CFindDataArray& files);
    BOOL KeepGoing() const;
    void Trouble(CWalkObserver::Trouble kind, const char* name);

    LONG recursiveFlag = 0;
    std::string fileMask;
    char currentFolder[MAX_PATH];
    char relativePath[MAX_PATH];
    LONG folderIndex = -1;
    CFindDataInput* input = nullptr;
    CWalkObserver* observer = nullptr;
};
