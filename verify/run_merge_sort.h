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

// Merges up to mostRuns neighbouring runs at once through a tree of the
// runs' first items (a tournament whose inner nodes keep the loser): each
// item out costs one comparison per level, among items that stay in the
// cache, where merging runs two by two would walk the whole list once per
// level. Runs are [starts[i], starts[i + 1]) of from; the merged run is
// written at the same place in to.
template <typename T, typename Before>
class CRunTournament {
public:
    static constexpr size_t mostRuns = 1024;

    CRunTournament() : next(mostRuns), end(mostRuns), losers(mostRuns), winners(2 * mostRuns) {}

    void Merge(const T* from, T* to, const size_t* starts, size_t runs, Before& before)
    {
        for (size_t run = 0; run < runs; ++run) {
            next[run] = starts[run];
            end[run] = starts[run + 1];
            winners[runs + run] = run;
        }
        // Built from the leaves up; the inner nodes 1 .. runs - 1 keep the
        // losers of their games, and the winner of all stands apart.
        for (size_t node = runs - 1; node >= 1; --node) {
            size_t left = winners[2 * node];
            size_t right = winners[2 * node + 1];
            bool leftWins = Wins(left, right, from, before);
            winners[node] = leftWins ? left : right;
            losers[node] = leftWins ? right : left;
        }
        size_t winner = runs > 1 ? winners[1] : 0;
        for (T* out = to + starts[0]; out != to + starts[runs]; ++out) {
            *out = from[next[winner]++];
            // The winner's run brings its next item, which replays only the
            // games on its way up.
            for (size_t node = (runs + winner) / 2; node >= 1; node /= 2) {
                if (Wins(losers[node], winner, from, before)) {
                    std::swap(losers[node], winner);
                }
            }
        }
    }

private:
    // Whether run a's next item comes before run b's; a run that is used up
    // comes after every other.
    bool Wins(size_t a, size_t b, const T* from, Before& before) const
    {
        if (next[a] == end[a] || next[b] == end[b]) {
            return next[a] != end[a];
        }
        return before(from[next[a]], from[next[b]]);
    }

    std::vector<size_t> next, end, losers, winners;
};

// Sorts items[0, count) by before, a strict order that tells any two items
// apart. False, with the items untouched, when the heap cannot lend the room
// (one more array of count items, the run starts and the tournament).
template <typename T, typename Before>
bool RunMergeSort(T* items, size_t count, Before before)
{
    typedef CRunTournament<T, Before> CTournament;
    std::vector<size_t> starts;
    std::unique_ptr<T[]> spare(new (std::nothrow) T[count != 0 ? count : 1]);
    std::unique_ptr<CTournament> tournament;
    if (!spare) {
        return false;
    }
    try {
        tournament.reset(new CTournament);
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
    // Up to mostRuns neighbouring runs merge into one at each pass, until
    // one is left; a run alone at the end is copied over as it stands.
    while (starts.size() > 2) {
        size_t runs = starts.size() - 1;
        size_t kept = 0;
        for (size_t run = 0; run < runs; run += CTournament::mostRuns) {
            size_t group = std::min(CTournament::mostRuns, runs - run);
            tournament->Merge(from, to, &starts[run], group, before);
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
