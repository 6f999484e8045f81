// One folder's entries found on disk against those the listing expects for
// it: folders by name, files by name, size and attributes, and no two found
// entries whose names differ only in letter case.
#pragma once
#include "find_data_index.h"
#include "walk_observer.h"

class CFolderMatch {
public:
    // The arrays must outlive the match. atRoot: the folder is the root of
    // the source, whose setup.msi is the package and compared by name only.
    CFolderMatch(const CFindDataArray& foldersReaded, const CFindDataArray& filesReaded,
                 const CFindDataArray& folders, const CFindDataArray& files, BOOL atRoot);

    // 1 when the folder matches. With an observer each difference is told to
    // it, folders before files, each kind as ReportEntryDifferences orders
    // them and then its case twins; only the first when it asks so.
    BOOL Compare(CWalkObserver* observer, const char* relativePath) const;
    // Position in foldersReaded of the first listed folder named as the found
    // folder at position, or -1.
    LONG FindListedFolder(size_t position) const { return foldersExpected.Find(foldersFound, position); }

private:
    CFindDataIndex foldersExpected;
    CFindDataIndex foldersFound;
    CFindDataIndex filesExpected;
    CFindDataIndex filesFound;
};
