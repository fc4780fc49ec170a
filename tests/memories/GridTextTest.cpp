// The grid's text reading on its own, where the grid cannot go: rows and
// columns at the end of the integer range, and what each line tells the grid
// before its pieces.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "memories/GridText.h"

namespace {

TEST(GridTextCodecTest, ReadingStopsAtTheLastRowAndColumnAnIntNamesAndReachesEveryLinesRow)
{
    const int last = INT_MAX - 1;
    struct Case {
        const char* Name;
        std::string Text;
        int Left, Top, Right, Bottom;
        std::vector<int> Rows;
        std::vector<std::string> Writes;
    };
    const Case cases[] = {
        {"the last row", "a\r\nb\r\n", 0, last, -1, -1, {last}, {"0," + std::to_string(last) + " a"}},
        {"the last column", "a\tb\tc\r\nd\te", last, 0, -1, -1, {0, 1},
         {std::to_string(last) + ",0 a", std::to_string(last) + ",1 d"}},
        {"a right limit at the last column", "a\tb", last, 0, INT_MAX, -1, {0}, {std::to_string(last) + ",0 a"}},
        {"empty lines reach their rows", "\r\n\n\rx", 0, 3, -1, -1, {3, 4, 5, 6}, {"0,6 x"}},
        {"a bottom limit", "a\nb\nc", 0, 0, -1, 1, {0, 1}, {"0,0 a", "0,1 b"}},
        {"NUL ends the text", std::string("a\0\r\nb", 5), 0, 0, -1, -1, {0}, {"0,0 a"}},
        {"a separator alone writes one empty cell", "\t", 0, 0, -1, -1, {0}, {"0,0 "}},
    };
    for (const Case& c : cases) {
        std::vector<int> rows;
        std::vector<std::string> writes;
        const int written = ReadCellsText(
            c.Text, '\t', c.Left, c.Top, c.Right, c.Bottom, [&](int row) { rows.push_back(row); },
            [&](int col, int row, std::string_view text) {
                writes.push_back(std::to_string(col) + "," + std::to_string(row) + " " + std::string(text));
            });
        EXPECT_EQ(rows, c.Rows) << c.Name;
        EXPECT_EQ(writes, c.Writes) << c.Name;
        EXPECT_EQ(written, static_cast<int>(c.Writes.size())) << c.Name;
    }
}

} // namespace
