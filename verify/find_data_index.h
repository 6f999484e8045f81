// The entries of one folder sorted once by folded name (the names' identity,
// the one CFindDataCompare::Match uses) and then by the fields the matcher
// compares, so that a lookup costs log n comparisons instead of n. Every
// lookup answers exactly what the matching pairwise search would.
#pragma once
#include "find_data_compare.h"
#include "name_identity.h"

#include <vector>

class CFindDataIndex {
public:
    // list and matcher must outlive the index.
    CFindDataIndex(const CFindDataArray& list, const CFindDataCompare& matcher);

    const CFindDataArray& List() const { return list; }
    // As matcher.Find(list, entry): the first element of list that matches entry, or -1.
    LONG Find(const WIN32_FIND_DATAA& entry) const;
    // The same for the element at position of another index's list, whose
    // name that index has folded already.
    LONG Find(const CFindDataIndex& other, size_t position) const;
    // The first element of list whose name equals entry's, or -1.
    LONG FindName(const WIN32_FIND_DATAA& entry) const;
    // Every element of other has a match in list.
    BOOL Covers(const CFindDataArray& other) const;
    BOOL Covers(const CFindDataIndex& other) const;
    // Positions in list of every entry one too many: of each group of entries
    // with the same name, the one whose name expected carries exactly stays,
    // or else the first in list; the others are returned in list order.
    std::vector<size_t> CaseTwins(const CFindDataArray& expected) const;

private:
    // The first slot not before the folded name key (and, with fieldsOf, those fields).
    size_t LowerBound(const WCHAR* key, const WIN32_FIND_DATAA* fieldsOf) const;
    LONG FindFolded(const WCHAR* key, const WIN32_FIND_DATAA& entry) const;

    const CFindDataArray& list;
    const CFindDataCompare& matcher;
    CFoldedNames names;
    // Positions in list, by folded name, then by the compared fields, then by position.
    std::vector<size_t> order;
    // At the first slot of each run of equal names, the smallest position in the run.
    std::vector<size_t> firstOfName;
};
