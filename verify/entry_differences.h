// The differences between the expected and found entries of one folder, in
// the order the set comparison meets them: expected entries without a match
// (missing, or changed when one of the same name is there), then found
// entries without a match (extra).
#pragma once
#include "find_data_index.h"
#include "walk_observer.h"

// Reports the differences to observer (only the first when stopAtFirst) and
// returns how many it reported: 0 exactly when each side covers the other.
// Both indexes use the same matcher.
int ReportEntryDifferences(CWalkObserver& observer, const char* relativePath,
                           const CFindDataIndex& expected, const CFindDataIndex& found, BOOL stopAtFirst);
