#pragma once
// Test support: memory grids built as the list builds them, and their cells
// read back whole; memory files of given rows.

#include <string>
#include <vector>

#include "memories/StringAlignGrid.h"

namespace MemoryTests {

using Rows = std::vector<std::vector<std::string>>;

// The memory file's first line.
inline const std::string kHeaderLine = "Caption\tMode\tVFO A\tVFO B\t\r\n";

// A memory file with these rows after the header line.
inline std::string FileOf(const Rows& rows)
{
    std::string text = kHeaderLine;
    for (const auto& row : rows) {
        for (const std::string& field : row)
            text += field + "\t";
        text += "\r\n";
    }
    return text;
}

// The memory grid as the list builds it: the header row and one empty memory.
inline TStringAlignGrid MemoryGrid()
{
    TStringAlignGrid grid(4, 2);
    const char* const headers[] = {"Caption", "Mode", "VFO A", "VFO B"};
    for (int col = 0; col < 4; ++col)
        grid.SetCells(col, 0, headers[col]);
    return grid;
}

// Every cell, row by row.
inline Rows CellsOf(const TStringAlignGrid& grid)
{
    Rows rows(static_cast<size_t>(grid.RowCount()));
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 0; col < grid.ColCount(); ++col)
            rows[static_cast<size_t>(row)].push_back(grid.Cells(col, row));
    return rows;
}

} // namespace MemoryTests
