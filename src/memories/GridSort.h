#pragma once
// The order the memory list's sort puts rows in: a pure function over the
// keys of one column, so that the grid only moves its rows.

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

// Byte-wise comparison on unsigned 8-bit values, case-sensitive; a prefix
// sorts first.
bool ByteLess(std::string_view a, std::string_view b);

// The list's quicksort: the last key of a range as pivot, the same scans and
// swaps, so that equal keys end where that sort leaves them. Place k of the
// answer holds the index of the key that goes there.
std::vector<int> QuickSortOrder(const std::vector<std::string_view>& keys, bool ascending);

// Moves the items from `first` on to the places the order gives them; answers
// where the item at `tracked` went (`tracked` itself when not among them).
template <class T>
int MoveIntoOrder(std::vector<T>& items, int first, const std::vector<int>& order, int tracked)
{
    std::vector<T> sorted;
    sorted.reserve(order.size());
    int placed = tracked;
    for (size_t place = 0; place < order.size(); ++place) {
        sorted.push_back(std::move(items[static_cast<size_t>(first + order[place])]));
        if (first + order[place] == tracked)
            placed = first + static_cast<int>(place);
    }
    std::move(sorted.begin(), sorted.end(), items.begin() + first);
    return placed;
}
