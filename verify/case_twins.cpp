#include "case_twins.h"

#include <algorithm>
#include <cstring>

namespace {

bool ExpectedExactly(const WIN32_FIND_DATAA& entry, const CFindDataArray& expected)
{
    for (const WIN32_FIND_DATAA& candidate : expected) {
        if (std::strcmp(candidate.cFileName, entry.cFileName) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<size_t> FindCaseTwins(const CFindDataArray& found, const CFindDataArray& expected)
{
    // Sorted by the comparison itself, twins stand side by side: n log n
    // comparisons instead of one for every pair.
    std::vector<size_t> order(found.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&found](size_t a, size_t b) {
        return lstrcmpiA(found[a].cFileName, found[b].cFileName) < 0;
    });
    std::vector<size_t> twins;
    for (size_t first = 0; first < order.size();) {
        size_t last = first + 1;
        while (last < order.size() &&
               lstrcmpiA(found[order[first]].cFileName, found[order[last]].cFileName) == 0) {
            ++last;
        }
        if (last - first > 1) {
            size_t kept = first;
            for (size_t k = first; k < last; ++k) {
                if (ExpectedExactly(found[order[k]], expected)) {
                    kept = k;
                    break;
                }
            }
            for (size_t k = first; k < last; ++k) {
                if (k != kept) {
                    twins.push_back(order[k]);
                }
            }
        }
        first = last;
    }
    std::sort(twins.begin(), twins.end());
    return twins;
}
