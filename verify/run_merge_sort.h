// Sorts an array by merging the runs that already stand in order: a list
// written nearly in order (as tools write manifests, folder by folder) costs
// about one comparison per element, and any other list no more than a plain
// sort. Sorting by path is slow on Windows, where every comparison asks the
// locale, so comparisons are what this saves.
#pragma once
#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

// Sorts items[0, count) by before, a strict order that tells any two items
// apart. False, with the items untouched, when the heap cannot lend the room
// (one more array of count items and the run starts).
template <typename T, typename Before>
bool RunMergeSort(T* items, size_t count, Before before)
{
    std::vector<size_t> starts;
    std::unique_ptr<T[]> spare(new (std::nothrow) T[count != 0 ? count : 1]);
    if (!spare) {
        return false;
    }
    try {
        starts.push_back(0);
        for (size_t i = 1; i < count; ++i) {
            if (before(items[i], items[i - 1])) {
                starts.push_back(i);
            }
        }
        starts.push_back(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    T* from = items;
    T* to = spare.get();
    // Neighbouring runs merge pairwise until one is left; an odd run out is
    // carried over as it stands.
    while (starts.size() > 2) {
        size_t kept = 0;
        size_t run = 0;
        for (; run + 2 < starts.size(); run += 2) {
            std::merge(from + starts[run], from + starts[run + 1], from + starts[run + 1], from + starts[run + 2],
                       to + starts[run], before);
            starts[kept++] = starts[run];
        }
        if (run + 1 < starts.size()) {
            std::copy(from + starts[run], from + starts[run + 1], to + starts[run]);
            starts[kept++] = starts[run];
        }
        starts[kept++] = count;
        starts.resize(kept);
        std::swap(from, to);
    }
    if (from != items) {
        std::copy(from, from + count, items);
    }
    return true;
}
