#pragma once
// The grid's cells as text, as the memory file and the clipboard keys carry
// them: a line a row, each cell's text followed by the separator, the line
// ended by CR LF. Reading takes CR LF, CR or LF, ends at a NUL, and says where
// each piece goes, so that the grid can grow to it first.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

// Cells from the left column and top row to the right column and bottom row,
// all included.
struct TCellRange {
    int Left;
    int Top;
    int Right;
    int Bottom;
};

// What an export covers in a grid of colCount columns and rowCount rows: a
// negative left or top is 0; a right (bottom) that is negative, below the left
// (top) or past the grid is the last column (row). None when the rectangle
// lies wholly outside the grid.
std::optional<TCellRange> ExportRange(int left, int top, int right, int bottom, int colCount, int rowCount);

// Appends the range's rows, each cell's text as `cell` answers it.
void AppendCellsText(std::string& target, char separator, const TCellRange& range,
                     const std::function<const std::string&(int col, int row)>& cell);

// Reads the lines of `source` into cells from (left, top): a break at the very
// end adds no line, a NUL ends the text. Each line is split at the separator,
// an empty last piece dropped; piece i goes to column left + i. A right
// (bottom) below the left (top) means no limit; a negative left or top is 0,
// and nothing goes past column or row INT_MAX - 1. `reachRow` hears of every
// line's row before its pieces, an empty line's too; `writeCell` gets each
// piece. Returns the number of pieces written.
int ReadCellsText(std::string_view source, char separator, int left, int top, int right, int bottom,
                  const std::function<void(int row)>& reachRow,
                  const std::function<void(int col, int row, std::string_view text)>& writeCell);

// The whole stream, read from its start.
std::string StreamText(std::istream& source);
