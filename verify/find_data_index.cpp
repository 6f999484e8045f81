#include "find_data_index.h"

#include "galloping_search.h"

#include <algorithm>

CFindDataIndex::CFindDataIndex(const CFindDataArray& list, const CFindDataCompare& matcher)
    : list(list), matcher(matcher), order(list.size()), firstOfName(list.size())
{
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    // Stable, so that of equal entries the one first in the list comes first,
    // as the pairwise search meets it.
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return Order(this->list[a], this->list[b]) < 0; });
    for (size_t first = 0; first < order.size();) {
        size_t smallest = order[first];
        size_t last = first + 1;
        while (last < order.size() &&
               lstrcmpiA(list[order[first]].cFileName, list[order[last]].cFileName) == 0) {
            smallest = std::min(smallest, order[last]);
            ++last;
        }
        firstOfName[first] = smallest;
        first = last;
    }
}

int CFindDataIndex::Order(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) const
{
    int byName = lstrcmpiA(a.cFileName, b.cFileName);
    return byName != 0 ? byName : matcher.CompareFields(a, b);
}

LONG CFindDataIndex::Find(const WIN32_FIND_DATAA& entry) const
{
    // Every entry of that name matches the package, whatever its fields.
    if (matcher.packageByName && lstrcmpiA(entry.cFileName, "setup.msi") == 0) {
        return FindName(entry);
    }
    // The walk looks entries up in about the order the index holds them.
    size_t slot = GallopingLowerBound(order.size(), lastSlot,
                                      [this, &entry](size_t at) { return Order(list[order[at]], entry) < 0; });
    lastSlot = slot;
    if (slot == order.size() || Order(list[order[slot]], entry) != 0) {
        return -1;
    }
    return static_cast<LONG>(order[slot]);
}

LONG CFindDataIndex::FindName(const WIN32_FIND_DATAA& entry) const
{
    auto slot = std::lower_bound(order.begin(), order.end(), entry, [this](size_t i, const WIN32_FIND_DATAA& e) {
        return lstrcmpiA(list[i].cFileName, e.cFileName) < 0;
    });
    if (slot == order.end() || lstrcmpiA(list[*slot].cFileName, entry.cFileName) != 0) {
        return -1;
    }
    return static_cast<LONG>(firstOfName[static_cast<size_t>(slot - order.begin())]);
}

BOOL CFindDataIndex::Covers(const CFindDataArray& other) const
{
    for (const WIN32_FIND_DATAA& entry : other) {
        if (Find(entry) == -1) {
            return FALSE;
        }
    }
    return TRUE;
}
