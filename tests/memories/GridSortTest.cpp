// The memory list's sort order over bare keys: the list's quicksort exactly,
// equal keys included, and no input that exhausts the stack.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "memories/GridSort.h"

namespace {

// The keys in the order the sort gives them.
std::vector<std::string> Sorted(const std::vector<std::string>& keys, bool ascending)
{
    const std::vector<std::string_view> views(keys.begin(), keys.end());
    std::vector<std::string> sorted;
    for (int index : QuickSortOrder(views, ascending))
        sorted.push_back(keys.at(static_cast<size_t>(index)));
    return sorted;
}

// The list's quicksort exactly as stated, row by row: the oracle for the
// faster scans. Each row is its key and an id.
using KeyRow = std::pair<std::string, int>;

int ReferencePartition(std::vector<KeyRow>& rows, int lo, int hi)
{
    auto less = [&](int a, int b) { return ByteLess(rows[a].first, rows[b].first); };
    int i = lo, j = hi - 1;
    for (;;) {
        while (less(i, hi))
            ++i;
        while (less(hi, j)) {
            if (j == lo)
                break;
            --j;
        }
        if (j <= i)
            break;
        std::swap(rows[i], rows[j]);
        ++i;
        --j;
    }
    std::swap(rows[i], rows[hi]);
    return i;
}

void ReferenceSort(std::vector<KeyRow>& rows, int lo, int hi)
{
    if (hi > lo) {
        int p = ReferencePartition(rows, lo, hi);
        ReferenceSort(rows, lo, p - 1);
        ReferenceSort(rows, p + 1, hi);
    }
}

TEST(GridSortTest, BytesCompareUnsignedCaseSensitivePrefixFirst)
{
    const std::vector<std::string> keys = {"\xE9t\xE9", "b", "B", "ab", "a", ""};
    EXPECT_EQ(Sorted(keys, true), (std::vector<std::string>{"", "B", "a", "ab", "b", "\xE9t\xE9"}));
    EXPECT_EQ(Sorted(keys, false), (std::vector<std::string>{"\xE9t\xE9", "b", "ab", "a", "B", ""}));
    EXPECT_TRUE(QuickSortOrder({}, true).empty()) << "no rows";
    EXPECT_EQ(QuickSortOrder({"x"}, false), std::vector<int>{0}) << "one row";
}

TEST(GridSortTest, OrderIsExactlyTheListsQuicksortIncludingEqualKeys)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(random() % 40);
        const int alphabet = 1 + static_cast<int>(random() % 6);
        std::vector<std::string> keys;
        std::vector<KeyRow> expected;
        for (int i = 0; i < n; ++i) {
            std::string key(random() % 3, 'a');
            for (char& c : key)
                c = static_cast<char>('a' + random() % alphabet);
            keys.push_back(key);
            expected.push_back({key, i});
        }
        ReferenceSort(expected, 0, n - 1);
        std::vector<int> ids;
        for (const KeyRow& row : expected)
            ids.push_back(row.second);
        const std::vector<std::string_view> views(keys.begin(), keys.end());
        ASSERT_EQ(QuickSortOrder(views, true), ids) << "round " << round;
    }
}

TEST(GridSortTest, HundredThousandPresortedKeysSortWithoutExhaustingTheStack)
{
    const int n = 100000;
    for (bool ascendingInput : {true, false}) {
        std::vector<std::string> keys;
        for (int i = 0; i < n; ++i)
            keys.push_back(Format("%06d", ascendingInput ? i : n - 1 - i));
        const std::vector<std::string> sorted = Sorted(keys, true);
        bool ordered = true;
        for (size_t k = 1; k < sorted.size(); ++k)
            ordered = ordered && ByteLess(sorted[k - 1], sorted[k]);
        EXPECT_TRUE(ordered) << ascendingInput;
    }
}

} // namespace
