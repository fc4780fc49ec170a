// Deterministic mutation fuzzing of the grid's text import and export, as the
// memory file and the clipboard keys use them. Seeds are memory files and
// clipboard texts; every round mutates one of them (or an earlier mutant),
// imports it into a memory grid and into a rectangle of a filled grid, and
// checks what must hold whatever the bytes are. Run under the sanitizers it
// also proves that no input reads or writes outside the cells.
//
//   memories_import_fuzz [rounds] [seed]

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/SysUtils.h"
#include "memories/StringAlignGrid.h"
#include "tests/memories/GridSupport.h"
#include "tests/support/Fuzz.h"

namespace {

using MemoryTests::MemoryGrid;
using namespace Fuzz;

constexpr size_t kMaxInput = 600;

bool SameCells(const TStringAlignGrid& a, const TStringAlignGrid& b)
{
    if (a.RowCount() != b.RowCount() || a.ColCount() != b.ColCount())
        return false;
    for (int row = 0; row < a.RowCount(); ++row)
        for (int col = 0; col < a.ColCount(); ++col)
            if (a.Cells(col, row) != b.Cells(col, row))
                return false;
    return true;
}

void RunOne(const std::string& input, TRandom& random)
{
    // The memory file's way: the whole text from cell (0, 0).
    TStringAlignGrid grid = MemoryGrid();
    grid.ImportCellsFromText(input, '\t', -1, -1, -1, -1);
    Check(grid.RowCount() >= 2 && grid.ColCount() >= 4, "the grid never shrinks", input);
    bool clean = true;
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 0; col < grid.ColCount(); ++col)
            clean = clean && grid.Cells(col, row).find_first_of(std::string("\t\r\n\0", 4)) == std::string::npos;
    Check(clean, "no cell holds a separator, a line break or a NUL", input);

    // What is saved loads back as it was, and saves the same bytes again.
    const std::string saved = grid.ExportCellsAsText('\t');
    TStringAlignGrid loaded = MemoryGrid();
    loaded.ImportCellsFromText(saved, '\t', -1, -1, -1, -1);
    Check(SameCells(grid, loaded), "save and load give the same cells", input);
    Check(loaded.ExportCellsAsText('\t') == saved, "a second save gives the same bytes", input);

    // A rectangle of a filled grid: nothing outside it changes.
    TStringAlignGrid filled(5, 5);
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 5; ++col)
            filled.SetCells(col, row, Format("%d,%d", col, row));
    const int left = random.Between(-2, 6), top = random.Between(-2, 6);
    const int right = random.Between(-2, 7), bottom = random.Between(-2, 7);
    filled.ImportCellsFromText(input, '\t', left, top, right, bottom);
    const int l = std::max(left, 0), t = std::max(top, 0);
    const int r = right >= l ? right : INT32_MAX, b = bottom >= t ? bottom : INT32_MAX;
    bool kept = filled.RowCount() >= 5 && filled.ColCount() >= 5;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 5; ++col)
            if (col < l || col > r || row < t || row > b)
                kept = kept && filled.Cells(col, row) == Format("%d,%d", col, row);
    Check(kept, "cells outside the rectangle keep their text", input);

    // Export of any rectangle: whole lines, never more rows than the grid has.
    const std::string part = filled.ExportCellsAsText('\t', random.Between(-3, 9), random.Between(-3, 9),
                                                      random.Between(-3, 9), random.Between(-3, 9));
    size_t lines = 0;
    for (size_t at = part.find("\r\n"); at != std::string::npos; at = part.find("\r\n", at + 2))
        ++lines;
    Check(lines <= static_cast<size_t>(filled.RowCount()) && (part.empty() || part.size() >= 3) &&
              (part.empty() || part.compare(part.size() - 2, 2, "\r\n") == 0),
          "export writes whole lines within the grid", input);

    // Sorting what was read keeps every row and orders them.
    const int col = random.Between(0, grid.ColCount() - 1);
    const std::string before = grid.ExportCellsAsText('\t', 0, 1, -1, -1);
    grid.SortRowsByColumn(col);
    bool ordered = true;
    for (int row = 2; row < grid.RowCount(); ++row)
        ordered = ordered && !ByteLess(grid.Cells(col, row), grid.Cells(col, row - 1));
    Check(ordered, "sorted rows are in order", input);
    const std::string after = grid.ExportCellsAsText('\t', 0, 1, -1, -1);
    Check(before.size() == after.size(), "sorting keeps every row", input);
}

} // namespace

int main(int argc, char** argv)
{
    return RunMutations(argc, argv, {20000, 20240601},
        {
            "",
            "Caption\tMode\tVFO A\tVFO B\t\r\nNew freq\tUSB\t14250000\t-1\t\r\nHome\tDIGI\t7.074.000\t\t\r\n",
            "Caption\tMode\tVFO A\tVFO B\t\r\n\t\t\t\t\r\n",
            "Caption\tMode\tVFO A\tVFO B\t\na\tCW\t1\t2\t\nb\n",
            "Caption\tMode\tVFO A\tVFO B\t\ra\tCW\t1\t2\t\rb\r",
            std::string("h\r\nx\tUSB\0\t9\t\r\n", 14),
            "h\r\na\tCW\t1\t2\textra\t\r\n",
            "USB\t\r\n",
            "\r\n\r\n\r\n",
            "\t\t\t\t\t\t\t\t",
        },
        {.Special = std::string("\t\r\n\0.,-09 \x7F\xFF", 12), .MaxSize = kMaxInput}, RunOne);
}
