#include "entry_differences.h"

int ReportEntryDifferences(CWalkObserver& observer, const char* relativePath,
                           const CFindDataIndex& expected, const CFindDataIndex& found, BOOL stopAtFirst)
{
    int reported = 0;
    for (size_t position = 0; position < expected.List().size(); ++position) {
        const WIN32_FIND_DATAA& entry = expected.List()[position];
        if (found.Find(expected, position) != -1) {
            continue;
        }
        LONG sameName = found.FindName(entry);
        if (sameName == -1) {
            observer.OnDifference(CWalkObserver::missingEntry, relativePath, &entry, nullptr);
        } else {
            observer.OnDifference(CWalkObserver::changedEntry, relativePath, &entry,
                                  &found.List()[static_cast<size_t>(sameName)]);
        }
        ++reported;
        if (stopAtFirst) {
            return reported;
        }
    }
    for (size_t position = 0; position < found.List().size(); ++position) {
        const WIN32_FIND_DATAA& entry = found.List()[position];
        if (expected.Find(found, position) != -1) {
            continue;
        }
        // Already told as changed when the expected entry of that name had no match.
        LONG sameName = expected.FindName(entry);
        if (sameName != -1 && found.Find(expected.List()[static_cast<size_t>(sameName)]) == -1) {
            continue;
        }
        observer.OnDifference(CWalkObserver::extraEntry, relativePath, nullptr, &entry);
        ++reported;
        if (stopAtFirst) {
            return reported;
        }
    }
    return reported;
}
