#include "find_data_index.h"

#include <algorithm>
#include <cstring>

namespace {

bool ListedExactly(const WIN32_FIND_DATAA& entry, const CFindDataArray& expected)
{
    for (const WIN32_FIND_DATAA& candidate : expected) {
        if (std::strcmp(candidate.cFileName, entry.cFileName) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

CFindDataIndex::CFindDataIndex(const CFindDataArray& list, const CFindDataCompare& matcher)
    : list(list), matcher(matcher), order(list.size()), firstOfName(list.size())
{
    size_t bytes = 0;
    for (const WIN32_FIND_DATAA& entry : list) {
        bytes += std::strlen(entry.cFileName) + 1;
    }
    names.Reserve(list.size(), bytes);
    for (size_t i = 0; i < list.size(); ++i) {
        names.Add(list[i].cFileName);
        order[i] = i;
    }
    // Stable, so that of equal entries the one first in the list comes first,
    // as the pairwise search meets it.
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        int byName = CompareFolded(names[a], names[b]);
        return byName != 0 ? byName < 0 : this->matcher.CompareFields(this->list[a], this->list[b]) < 0;
    });
    for (size_t first = 0; first < order.size();) {
        size_t smallest = order[first];
        size_t last = first + 1;
        while (last < order.size() && CompareFolded(names[order[first]], names[order[last]]) == 0) {
            smallest = std::min(smallest, order[last]);
            ++last;
        }
        firstOfName[first] = smallest;
        first = last;
    }
}

size_t CFindDataIndex::LowerBound(const WCHAR* key, const WIN32_FIND_DATAA* fieldsOf) const
{
    auto slot = std::lower_bound(order.begin(), order.end(), key, [&](size_t position, const WCHAR* sought) {
        int byName = CompareFolded(names[position], sought);
        if (byName != 0 || fieldsOf == nullptr) {
            return byName < 0;
        }
        return matcher.CompareFields(list[position], *fieldsOf) < 0;
    });
    return static_cast<size_t>(slot - order.begin());
}

LONG CFindDataIndex::Find(const WIN32_FIND_DATAA& entry) const
{
    CNameKey key;
    FoldName(entry.cFileName, key);
    return FindFolded(key.text, entry);
}

LONG CFindDataIndex::Find(const CFindDataIndex& other, size_t position) const
{
    return FindFolded(other.names[position], other.list[position]);
}

LONG CFindDataIndex::FindFolded(const WCHAR* key, const WIN32_FIND_DATAA& entry) const
{
    // Every entry of that name matches the package, whatever its fields.
    static const CNameKey packageName = [] {
        CNameKey folded;
        FoldName("setup.msi", folded);
        return folded;
    }();
    bool package = matcher.packageByName && CompareFolded(key, packageName.text) == 0;
    size_t at = LowerBound(key, package ? nullptr : &entry);
    if (at == order.size() || CompareFolded(names[order[at]], key) != 0) {
        return -1;
    }
    if (package) {
        return static_cast<LONG>(firstOfName[at]);
    }
    return matcher.CompareFields(list[order[at]], entry) == 0 ? static_cast<LONG>(order[at]) : -1;
}

LONG CFindDataIndex::FindName(const WIN32_FIND_DATAA& entry) const
{
    CNameKey key;
    FoldName(entry.cFileName, key);
    size_t at = LowerBound(key.text, nullptr);
    if (at == order.size() || CompareFolded(names[order[at]], key.text) != 0) {
        return -1;
    }
    return static_cast<LONG>(firstOfName[at]);
}

BOOL CFindDataIndex::Covers(const CFindDataIndex& other) const
{
    for (size_t position = 0; position < other.list.size(); ++position) {
        if (Find(other, position) == -1) {
            return FALSE;
        }
    }
    return TRUE;
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

std::vector<size_t> CFindDataIndex::CaseTwins(const CFindDataArray& expected) const
{
    // Entries of one name stand side by side in the index already.
    std::vector<size_t> twins;
    for (size_t first = 0; first < order.size();) {
        size_t last = first + 1;
        while (last < order.size() && CompareFolded(names[order[first]], names[order[last]]) == 0) {
            ++last;
        }
        if (last - first > 1) {
            size_t kept = firstOfName[first];
            for (size_t k = first; k < last; ++k) {
                if (ListedExactly(list[order[k]], expected) && (!ListedExactly(list[kept], expected) || order[k] < kept)) {
                    kept = order[k];
                }
            }
            for (size_t k = first; k < last; ++k) {
                if (order[k] != kept) {
                    twins.push_back(order[k]);
                }
            }
        }
        first = last;
    }
    std::sort(twins.begin(), twins.end());
    return twins;
}
