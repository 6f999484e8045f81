#include "folder_match.h"

#include "entry_differences.h"

CFolderMatch::CFolderMatch(const CFindDataArray& foldersReaded, const CFindDataArray& filesReaded,
                           const CFindDataArray& folders, const CFindDataArray& files, BOOL atRoot)
    : foldersExpected(foldersReaded, cmpFolders),
      foldersFound(folders, cmpFolders),
      filesExpected(filesReaded, atRoot ? cmpRootFiles : cmpFiles),
      filesFound(files, atRoot ? cmpRootFiles : cmpFiles)
{
}

BOOL CFolderMatch::Compare(CWalkObserver* observer, const char* relativePath) const
{
    if (observer == nullptr) {
        return foldersFound.Covers(foldersExpected) && foldersExpected.Covers(foldersFound) &&
               filesFound.Covers(filesExpected) && filesExpected.Covers(filesFound) &&
               foldersFound.CaseTwins(foldersExpected.List()).empty() &&
               filesFound.CaseTwins(filesExpected.List()).empty();
    }
    BOOL first = observer->StopAtFirst();
    int differences = 0;
    for (int kind = 0; kind < 2 && (differences == 0 || !first); ++kind) {
        const CFindDataIndex& expected = kind == 0 ? foldersExpected : filesExpected;
        const CFindDataIndex& found = kind == 0 ? foldersFound : filesFound;
        differences += ReportEntryDifferences(*observer, relativePath, expected, found, first);
        for (size_t twin : found.CaseTwins(expected.List())) {
            // A twin without a match was told as extra already.
            if ((differences != 0 && first) || expected.Find(found, twin) == -1) {
                continue;
            }
            observer->OnDifference(CWalkObserver::caseTwinEntry, relativePath, nullptr, &found.List()[twin]);
            ++differences;
        }
    }
    return differences == 0;
}
