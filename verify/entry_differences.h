// The differences between the expected and found entries of one folder, in
// the order the set comparison meets them: expected entries without a match
// (missing, or changed when one of the same name is there), then found
// entries without a match (extra).
#pragma once
#include "find_data_compare.h"
#include "walk_observer.h"

// Reports the differences to observer (only the first when stopAtFirst) and
// returns how many it reported: 0 exactly when matcher.IsSame(expected, found).
int ReportEntryDifferences(CWalkObserver& observer, const char* relativePath,
                           const CFindDataArray& expected, const CFindDataArray& found,
                           const CFindDataCompare& matcher, BOOL stopAtFirst);
