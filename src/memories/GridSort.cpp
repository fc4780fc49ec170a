#include "memories/GridSort.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <numeric>

namespace {

// The values of one column at the positions of the rows being sorted, with
// the smallest and largest value of every power-of-two block, so that the
// sort's scans find their stopping row in log time.
class TRankTree {
public:
    explicit TRankTree(const std::vector<int>& values)
    {
        FSize = 1;
        while (FSize < static_cast<int>(values.size()))
            FSize *= 2;
        FMin.assign(2 * static_cast<size_t>(FSize), INT_MAX);
        FMax.assign(2 * static_cast<size_t>(FSize), INT_MIN);
        for (size_t p = 0; p < values.size(); ++p)
            FMin[FSize + p] = FMax[FSize + p] = values[p];
        for (int node = FSize - 1; node > 0; --node)
            Pull(node);
    }

    int Value(int p) const { return FMin[FSize + p]; }

    void Set(int p, int value)
    {
        int node = FSize + p;
        FMin[node] = FMax[node] = value;
        for (node /= 2; node > 0; node /= 2)
            Pull(node);
    }

    // The first position in [from, to] whose value is at least x, or -1.
    int FirstAtLeast(int from, int to, int x) const { return First(1, 0, FSize - 1, from, to, x); }
    // The last position in [from, to] whose value is at most x, or -1.
    int LastAtMost(int from, int to, int x) const { return Last(1, 0, FSize - 1, from, to, x); }

private:
    void Pull(int node)
    {
        FMin[node] = std::min(FMin[2 * node], FMin[2 * node + 1]);
        FMax[node] = std::max(FMax[2 * node], FMax[2 * node + 1]);
    }

    int First(int node, int lo, int hi, int from, int to, int x) const
    {
        if (hi < from || lo > to || FMax[node] < x)
            return -1;
        if (lo == hi)
            return lo;
        const int mid = lo + (hi - lo) / 2;
        const int left = First(2 * node, lo, mid, from, to, x);
        return left >= 0 ? left : First(2 * node + 1, mid + 1, hi, from, to, x);
    }

    int Last(int node, int lo, int hi, int from, int to, int x) const
    {
        if (hi < from || lo > to || FMin[node] > x)
            return -1;
        if (lo == hi)
            return lo;
        const int mid = lo + (hi - lo) / 2;
        const int right = Last(2 * node + 1, mid + 1, hi, from, to, x);
        return right >= 0 ? right : Last(2 * node, lo, mid, from, to, x);
    }

    int FSize;
    std::vector<int> FMin;
    std::vector<int> FMax;
};

} // namespace

bool ByteLess(std::string_view a, std::string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    if (common > 0)
        if (int order = std::memcmp(a.data(), b.data(), common))
            return order < 0;
    return a.size() < b.size();
}

// The quicksort of the memory list: last row of the range as pivot, the
// scans and swaps below. The rows' keys are replaced by their ranks first, so
// the scans compare numbers and jump to where they stop; the swaps, and so
// the order produced, are exactly those of the plain row-by-row scan.
// Returns the new order: place k gets the row that stood at order[k].
std::vector<int> QuickSortOrder(const std::vector<std::string_view>& keys, bool ascending)
{
    const int n = static_cast<int>(keys.size());
    std::vector<int> byKey(static_cast<size_t>(n));
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(), [&](int a, int b) { return ByteLess(keys[a], keys[b]); });
    std::vector<int> rank(static_cast<size_t>(n));
    for (int k = 1; k < n; ++k)
        rank[byKey[k]] = rank[byKey[k - 1]] + (ByteLess(keys[byKey[k - 1]], keys[byKey[k]]) ? 1 : 0);
    if (!ascending)
        for (int& r : rank)
            r = -r;

    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    TRankTree tree(rank);
    auto swapPlaces = [&](int p, int q) {
        std::swap(order[p], order[q]);
        tree.Set(p, rank[order[p]]);
        tree.Set(q, rank[order[q]]);
    };

    auto partition = [&](int lo, int hi) {
        const int pivot = tree.Value(hi);
        int i = lo;
        int j = hi - 1;
        for (;;) {
            // While key(i) < key(hi): i + 1. Row hi itself stops it.
            i = tree.FirstAtLeast(i, hi, pivot);
            // While key(hi) < key(j): j - 1, but never below lo.
            const int stop = tree.LastAtMost(lo, j, pivot);
            j = stop < 0 ? lo : stop;
            if (j <= i)
                break;
            swapPlaces(i, j);
            ++i;
            --j;
        }
        if (i != hi)
            swapPlaces(i, hi);
        return i;
    };

    // The two parts are sorted independently, so taking the smaller one first
    // (by recursion) and the larger one by looping gives the same order while
    // the stack never holds more than log2(n) ranges, whatever the input.
    std::function<void(int, int)> sort = [&](int lo, int hi) {
        while (hi > lo) {
            const int p = partition(lo, hi);
            if (p - lo < hi - p) {
                sort(lo, p - 1);
                lo = p + 1;
            } else {
                sort(p + 1, hi);
                hi = p - 1;
            }
        }
    };
    sort(0, n - 1);
    return order;
}
