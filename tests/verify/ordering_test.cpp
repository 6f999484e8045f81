// The sort of the manifest and the searches of the checks against the
// standard library's: the sort on lists shaped as manifests come (in order,
// nearly so, in many short runs, more than one tournament takes, each item a
// run of its own, empty), the search from every hint.
#include "verify/galloping_search.h"
#include "verify/run_merge_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TEST(RunMergeSortTest, GivesTheStandardSortsOrder)
{
    std::mt19937 random(20261209);
    struct Shape {
        const char* name;
        size_t count;
        size_t runLength;  // 0: random values
    };
    const Shape shapes[] = {{"empty", 0, 1},          {"one", 1, 1},           {"in order", 3000, 3000},
                            {"two runs", 3001, 1500}, {"random", 5000, 0},     {"runs of three", 4000, 3},
                            {"descending", 3 * 1024 + 1, 1}};
    for (const Shape& shape : shapes) {
        std::vector<unsigned> items(shape.count);
        for (size_t i = 0; i < items.size(); ++i) {
            // Runs of runLength ascending values, each run starting lower.
            items[i] = shape.runLength == 0 ? static_cast<unsigned>(random() % 1000)
                                            : static_cast<unsigned>(items.size() - i / shape.runLength * shape.runLength +
                                                                    (i % shape.runLength) * 7);
        }
        // Equal values are told apart by place, as the manifest tells rows.
        std::vector<size_t> order(items.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        auto before = [&items](size_t a, size_t b) { return items[a] != items[b] ? items[a] < items[b] : a < b; };
        std::vector<size_t> expected = order;
        std::sort(expected.begin(), expected.end(), before);
        ASSERT_TRUE(RunMergeSort(order.data(), order.size(), before)) << shape.name;
        EXPECT_EQ(expected, order) << shape.name;
    }
}

TEST(GallopingLowerBoundTest, FindsWhatLowerBoundFindsFromAnyHint)
{
    std::mt19937 random(20261209);
    for (size_t count : {0u, 1u, 2u, 7u, 100u}) {
        std::vector<unsigned> items(count);
        for (unsigned& item : items) {
            item = static_cast<unsigned>(random() % 40);  // with repeats
        }
        std::sort(items.begin(), items.end());
        for (unsigned sought = 0; sought <= 40; ++sought) {
            size_t expected = static_cast<size_t>(std::lower_bound(items.begin(), items.end(), sought) - items.begin());
            for (size_t hint = 0; hint <= count + 1; ++hint) {
                size_t got = GallopingLowerBound(count, hint, [&](size_t at) { return items[at] < sought; });
                ASSERT_EQ(expected, got) << count << " items, sought " << sought << ", hint " << hint;
            }
        }
    }
}

}  // namespace
