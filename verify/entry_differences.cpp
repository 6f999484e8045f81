#include "entry_differences.h"

namespace {

const CFindDataCompare byName = {TRUE, TRUE, TRUE, TRUE, TRUE};

}  // namespace

int ReportEntryDifferences(CWalkObserver& observer, const char* relativePath,
                           const CFindDataArray& expected, const CFindDataArray& found,
                           const CFindDataCompare& matcher, BOOL stopAtFirst)
{
    int reported = 0;
    for (const WIN32_FIND_DATAA& entry : expected) {
        if (matcher.Find(found, entry) != -1) {
            continue;
        }
        LONG sameName = byName.Find(found, entry);
        if (sameName == -1) {
            observer.OnDifference(CWalkObserver::missingEntry, relativePath, &entry, nullptr);
        } else {
            observer.OnDifference(CWalkObserver::changedEntry, relativePath, &entry,
                                  &found[static_cast<size_t>(sameName)]);
        }
        ++reported;
        if (stopAtFirst) {
            return reported;
        }
    }
    for (const WIN32_FIND_DATAA& entry : found) {
        if (matcher.Find(expected, entry) != -1) {
            continue;
        }
        // Already told as changed when the expected entry of that name had no match.
        LONG sameName = byName.Find(expected, entry);
        if (sameName != -1 &&
            matcher.Find(found, expected[static_cast<size_t>(sameName)]) == -1) {
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
