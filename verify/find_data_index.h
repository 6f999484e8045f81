// The entries of one folder sorted once by name (the platform's comparison,
// the one CFindDataCompare::Match uses) and then by the fields the matcher
// compares, so that a lookup costs log n comparisons instead of n. Every
// lookup answers exactly what the matching pairwise search would.
#pragma once
#include "find_data_compare.h"

#include <vector>

class CFindDataIndex {
public:
    // list and matcher must outlive the index.
    CFindDataIndex(const CFindDataArray& list, const CFindDataCompare& matcher);

    const CFindDataArray& List() const { return list; }
    // As matcher.Find(list, entry): the first element of list that matches entry, or -1.
    LONG Find(const WIN32_FIND_DATAA& entry) const;
    // The first element of list whose name equals entry's, or -1.
    LONG FindName(const WIN32_FIND_DATAA& entry) const;
    // Every element of other has a match in list.
    BOOL Covers(const CFindDataArray& other) const;

private:
    int Order(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const;

    const CFindDataArray& list;
    const CFindDataCompare& matcher;
    // Positions in list, by name, then by the compared fields, then by position.
    std::vector<size_t> order;
    // At the first slot of each run of equal names, the smallest position in the run.
    std::vector<size_t> firstOfName;
    // Where the last lookup ended: the next one starts there.
    mutable size_t lastSlot = 0;
};
