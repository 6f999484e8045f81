// An optional listener of a walk, for tools that report every difference
// rather than stop at the first. The custom actions walk without one.
#pragma once
#include <windows.h>

class CWalkObserver {
public:
    enum Difference {
        missingEntry,  // expected, not on disk
        extraEntry,    // on disk, not expected
        changedEntry,  // on disk under the expected name, but different (or rejected by the input)
        caseTwinEntry, // on disk beside another entry whose name differs only in letter case
    };
    enum Trouble {
        inputRefused,       // the input's Begin refused the walk
        folderUnreadable,   // the folder could not be enumerated
        listingUnreadable,  // the input could not deliver the folder's expected entries
        pathTooLong,        // a path would not fit 259 characters, so it is not enumerated
    };

    // relativePath names the folder holding the entry ("\" at the root of the
    // walk). expected or found is null where the entry has no counterpart.
    virtual void OnDifference(Difference kind, const char* relativePath,
                              const WIN32_FIND_DATAA* expected, const WIN32_FIND_DATAA* found) = 0;
    // relativePath names the folder concerned; for pathTooLong, the entry's name follows in name.
    virtual void OnTrouble(Trouble kind, const char* relativePath, const char* name) = 0;
    // True: stop at the first difference, exactly where the check stops.
    virtual BOOL StopAtFirst() = 0;

protected:
    ~CWalkObserver() = default;
};
