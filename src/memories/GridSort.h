#pragma once
// The order the memory list's sort puts rows in: a pure function over the
// keys of one column, so that the grid only moves its rows.

#include <string_view>
#include <vector>

// Byte-wise comparison on unsigned 8-bit values, case-sensitive; a prefix
// sorts first.
bool ByteLess(std::string_view a, std::string_view b);

// The list's quicksort: the last key of a range as pivot, the same scans and
// swaps, so that equal keys end where that sort leaves them. Place k of the
// answer holds the index of the key that goes there.
std::vector<int> QuickSortOrder(const std::vector<std::string_view>& keys, bool ascending);
