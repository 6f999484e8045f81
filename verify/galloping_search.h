// Binary search for lookups that mostly land near the previous one, as a
// walk's lookups do in a list sorted the way the walk meets the names.
#pragma once
#include <cstddef>

// The first position in [0, count) whose item does not sort before the one
// sought, or count: what std::lower_bound finds. before(position) tells
// whether the item there sorts before the one sought, and is false from
// some position on. The search widens from hint (1, 2, 4, ... positions)
// before it halves, so a lookup next to the last costs a few comparisons.
template <typename Before>
size_t GallopingLowerBound(size_t count, size_t hint, Before before)
{
    if (count == 0) {
        return 0;
    }
    hint = hint < count ? hint : 0;
    // Every position below low sorts before the item sought; the one at
    // high does not (or is the end).
    size_t low = 0;
    size_t high = hint;
    size_t step = 1;
    if (before(hint)) {
        low = hint + 1;
        high = count;
        for (; hint + step < count; step *= 2) {
            if (!before(hint + step)) {
                high = hint + step;
                break;
            }
            low = hint + step + 1;
        }
    } else {
        for (; step <= hint; step *= 2) {
            if (before(hint - step)) {
                low = hint - step + 1;
                break;
            }
            high = hint - step;
        }
    }
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (before(middle)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}
