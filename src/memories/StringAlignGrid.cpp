#include "memories/StringAlignGrid.h"

#include <algorithm>
#include <optional>

#include "base/SysUtils.h"
#include "memories/GridKeys.h"
#include "memories/GridText.h"

namespace {

const std::string kEmpty;
const TCellProps kNoProps;
const char kOutOfRange[] = "Grid index out of range";

} // namespace

TStringAlignGrid::TStringAlignGrid(int colCount, int rowCount) : FColCount(colCount)
{
    if (colCount <= FFixedCols || rowCount <= FFixedRows)
        throw EInvalidOperation(kOutOfRange);
    FRows.resize(static_cast<size_t>(rowCount));
    PlaceCurrentCell();
}

// ---------------------------------------------------------------- size

void TStringAlignGrid::SetColCount(int count)
{
    if (count <= FFixedCols)
        throw EInvalidOperation(kOutOfRange);
    if (count < FColCount) {
        for (TGridRow& row : FRows) {
            TrimTo(row.Cells, count);
            TrimTo(row.CellProps, count);
        }
        TrimTo(FColProps, count);
        if (FCol >= count)
            FEditor.Close();
    }
    FColCount = count;
    PlaceCurrentCell();
}

void TStringAlignGrid::SetRowCount(int count)
{
    if (count <= FFixedRows)
        throw EInvalidOperation(kOutOfRange);
    if (FRow >= count)
        FEditor.Close();
    FRows.resize(static_cast<size_t>(count));
    PlaceCurrentCell();
}

void TStringAlignGrid::PlaceCurrentCell()
{
    FCol = std::clamp(FCol, FFixedCols, FColCount - 1);
    FRow = std::clamp(FRow, FFixedRows, RowCount() - 1);
}

// ---------------------------------------------------------------- cells

void TStringAlignGrid::CheckInGrid(int col, int row) const
{
    if (!InGrid(col, row))
        throw EInvalidOperation(kOutOfRange);
}

const std::string& TStringAlignGrid::Cells(int col, int row) const
{
    return InGrid(col, row) ? ItemOr(FRows[static_cast<size_t>(row)].Cells, col, kEmpty) : kEmpty;
}

std::string& TStringAlignGrid::CellRef(int col, int row)
{
    CheckInGrid(col, row);
    return GrowTo(FRows[static_cast<size_t>(row)].Cells, col);
}

void TStringAlignGrid::SetCells(int col, int row, const std::string& text) { CellRef(col, row) = text; }

// ---------------------------------------------------------------- properties

TCellProps TStringAlignGrid::CellProps(int col, int row) const
{
    return InGrid(col, row) ? ItemOr(FRows[static_cast<size_t>(row)].CellProps, col, kNoProps) : kNoProps;
}

TCellProps TStringAlignGrid::ColProps(int col) const { return ItemOr(FColProps, col, kNoProps); }

TCellProps TStringAlignGrid::RowProps(int row) const
{
    return row >= 0 && row < RowCount() ? FRows[static_cast<size_t>(row)].Props : kNoProps;
}

TCellProps& TStringAlignGrid::CellPropsRef(int col, int row)
{
    CheckInGrid(col, row);
    return GrowTo(FRows[static_cast<size_t>(row)].CellProps, col);
}

TCellProps& TStringAlignGrid::ColPropsRef(int col)
{
    CheckInGrid(col, 0);
    return GrowTo(FColProps, col);
}

TCellProps& TStringAlignGrid::RowPropsRef(int row)
{
    CheckInGrid(0, row);
    return FRows[static_cast<size_t>(row)].Props;
}

void TStringAlignGrid::SetCellEditable(int col, int row, TEditSetting setting)
{
    CellPropsRef(col, row).Editable = setting;
}

void TStringAlignGrid::SetColEditable(int col, TEditSetting setting) { ColPropsRef(col).Editable = setting; }

void TStringAlignGrid::SetRowEditable(int row, TEditSetting setting) { RowPropsRef(row).Editable = setting; }

bool TStringAlignGrid::IsCellEditable(int col, int row) const
{
    if (!InGrid(col, row) || col < FFixedCols || row < FFixedRows)
        return false;
    const TEditSetting setting = SettingOf(CellProps(col, row), ColProps(col), RowProps(row), &TCellProps::Editable);
    return setting == TEditSetting::NotSet ? DefaultEditable : setting == TEditSetting::Yes;
}

void TStringAlignGrid::SetCellAlignment(int col, int row, TCellAlign alignment)
{
    CellPropsRef(col, row).Alignment = alignment;
}

void TStringAlignGrid::SetColAlignment(int col, TCellAlign alignment) { ColPropsRef(col).Alignment = alignment; }

TCellAlign TStringAlignGrid::Alignment(int col, int row) const
{
    const TCellAlign alignment = SettingOf(CellProps(col, row), ColProps(col), RowProps(row), &TCellProps::Alignment);
    return alignment == TCellAlign::NotSet ? TCellAlign::Left : alignment;
}

// ---------------------------------------------------------------- current cell

bool TStringAlignGrid::CanSelectCell(int col, int row)
{
    if (!InGrid(col, row) || col < FFixedCols || row < FFixedRows)
        return false;
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, canSelect);
    return canSelect;
}

bool TStringAlignGrid::SetCurrentCell(int col, int row)
{
    if (!CanSelectCell(col, row))
        return false;
    if (col == FCol && row == FRow)
        return true;
    if (FEditor.IsOpen() && !FinishEdit(TEditEnd::Move))
        return false;
    // The validation handler may have changed the grid.
    if (!InGrid(col, row) || col < FFixedCols || row < FFixedRows)
        return false;
    FCol = col;
    FRow = row;
    return true;
}

// ---------------------------------------------------------------- rows

void TStringAlignGrid::InsertBlankRow(int row)
{
    if (row < 0 || row > RowCount())
        throw EInvalidOperation(kOutOfRange);
    FRows.insert(FRows.begin() + row, TGridRow{});
    if (FRow >= row)
        ++FRow;
}

void TStringAlignGrid::DeleteGridRow(int row)
{
    if (row < FFixedRows || row >= RowCount() || RowCount() - FFixedRows <= 1)
        return;
    // An editor on the row closes; one below goes on, on its record.
    if (FRow == row)
        FEditor.Close();
    FRows.erase(FRows.begin() + row);
    if (row < FRow)
        --FRow;
    else if (FRow >= RowCount())
        FRow = RowCount() - 1;
}

void TStringAlignGrid::SwapRows(int row1, int row2)
{
    CheckInGrid(0, row1);
    CheckInGrid(0, row2);
    if (row1 == row2)
        return;
    std::swap(FRows[static_cast<size_t>(row1)], FRows[static_cast<size_t>(row2)]);
    const int other = FRow == row1 ? row2 : FRow == row2 ? row1 : -1;
    if (other < 0)
        return;
    if (other >= FFixedRows) {
        FRow = other;
    } else {
        // The record went into the fixed rows, where the current cell cannot
        // follow; an editor on it closes.
        FEditor.Close();
    }
}

void TStringAlignGrid::SortRowsByColumn(int col, bool ascending)
{
    CheckInGrid(col, 0);
    const int first = FFixedRows;
    const int count = RowCount() - first;
    if (count < 2)
        return;
    std::vector<std::string_view> keys;
    keys.reserve(static_cast<size_t>(count));
    for (int row = first; row < RowCount(); ++row)
        keys.emplace_back(Cells(col, row));
    FRow = MoveIntoOrder(FRows, first, QuickSortOrder(keys, ascending), FRow);
}

// ---------------------------------------------------------------- text

std::string TStringAlignGrid::ExportCellsAsText(char separator, int left, int top, int right, int bottom) const
{
    std::string text;
    if (const std::optional<TCellRange> range = ExportRange(left, top, right, bottom, FColCount, RowCount()))
        AppendCellsText(text, separator, *range,
                        [this](int col, int row) -> const std::string& { return Cells(col, row); });
    return text;
}

int TStringAlignGrid::ImportCellsFromText(std::string_view source, char separator, int left, int top, int right,
                                          int bottom)
{
    // The grid grows to every row and column written.
    return ReadCellsText(
        source, separator, left, top, right, bottom,
        [this](int row) {
            if (row >= RowCount())
                SetRowCount(row + 1);
        },
        [this](int col, int row, std::string_view text) {
            if (col >= FColCount)
                SetColCount(col + 1);
            CellRef(col, row).assign(text);
        });
}

// ---------------------------------------------------------------- editor

bool TStringAlignGrid::ShowEditor()
{
    if (FEditor.IsOpen())
        return true;
    if (!IsCellEditable(FCol, FRow))
        return false;
    FEditor.Open(Cells(FCol, FRow));
    return true;
}

bool TStringAlignGrid::ApplyEdit() { return !FEditor.IsOpen() || FinishEdit(TEditEnd::Move); }

void TStringAlignGrid::CancelEdit()
{
    if (!FEditor.IsOpen())
        return;
    FEditor.Close();
    CellRef(FCol, FRow) = FEditor.KeptText();
    if (OnCancelEdit)
        OnCancelEdit(this, FCol, FRow);
}

bool TStringAlignGrid::FinishEdit(TEditEnd how)
{
    // Text the memory file cannot hold is never validated nor stored. The
    // editor stays open as it is: a reopening would put the cell's text back
    // into the box, over what the operator typed.
    if (const std::string chars = EditorUnstorable(); !chars.empty()) {
        if (OnUnstorableText)
            OnUnstorableText(this, chars);
        if (how == TEditEnd::FocusLost && OnFocusGrid)
            OnFocusGrid(this);
        return false;
    }
    const int col = FCol;
    const int row = FRow;
    FEditor.Close();
    bool accept = true;
    if (OnValidateEdit)
        OnValidateEdit(this, col, row, accept);
    if (!accept) {
        if (InGrid(col, row) && col >= FFixedCols && row >= FFixedRows) {
            FCol = col;
            FRow = row;
            FEditor.Open(Cells(FCol, FRow));
        }
        if (how == TEditEnd::FocusLost && OnFocusGrid)
            OnFocusGrid(this);
        return false;
    }
    if (OnAfterEdit)
        OnAfterEdit(this, col, row);
    if (how == TEditEnd::Enter && AutoEditNextCell)
        EditNextCell();
    return true;
}

void TStringAlignGrid::EditNextCell()
{
    int col = FCol;
    int row = FRow;
    for (;;) {
        if (NextCellEdit == TNextCellEdit::nc_rightdown) {
            if (++col >= FColCount) {
                col = FFixedCols;
                if (++row >= RowCount())
                    break;
            }
        } else if (++row >= RowCount()) {
            row = FFixedRows;
            if (++col >= FColCount)
                break;
        }
        if (IsCellEditable(col, row) && CanSelectCell(col, row)) {
            FCol = col;
            FRow = row;
            FEditor.Open(Cells(FCol, FRow));
            return;
        }
    }
    if (AfterLastCellEdit == TAfterLastCellEdit::lc_exit && OnFocusNextControl)
        OnFocusNextControl(this);
}

void TStringAlignGrid::SetEditorText(const std::string& text, size_t selStart, size_t selLength,
                                     const std::string& outside)
{
    if (FEditor.IsOpen())
        FEditor.SetText(CellRef(FCol, FRow), text, selStart, selLength, outside);
}

// ---------------------------------------------------------------- clipboard

bool TStringAlignGrid::CopyToClipboard()
{
    if (!Clipboard || FEditor.IsOpen())
        return false;
    return Clipboard->SetText(ExportCellsAsText('\t', FCol, FRow, FCol, FRow));
}

bool TStringAlignGrid::CutToClipboard()
{
    if (!CopyToClipboard())
        return false;
    CellRef(FCol, FRow).clear();
    if (OnClipboardEdit)
        OnClipboardEdit(this, FCol, FRow);
    return true;
}

bool TStringAlignGrid::PasteFromClipboard()
{
    if (!Clipboard || FEditor.IsOpen())
        return false;
    std::string bytes;
    if (!Clipboard->GetText(bytes))
        return false;
    const std::string_view text(bytes.data(), std::min(bytes.find('\0'), bytes.size()));
    const int col = FCol;
    const int row = FRow;
    if (ImportCellsFromText(text, '\t', col, row, col, row) > 0 && OnClipboardEdit)
        OnClipboardEdit(this, col, row);
    return true;
}

// ---------------------------------------------------------------- input

bool TStringAlignGrid::KeyDown(unsigned key, TShiftState shift)
{
    switch (GridKeyAction(key, shift, FEditor.IsOpen())) {
    case TGridKeyAction::None:
        return false;
    case TGridKeyAction::OpenEditor:
        ShowEditor();
        break;
    case TGridKeyAction::CancelEdit:
        CancelEdit();
        break;
    case TGridKeyAction::EndEdit:
        FinishEdit(TEditEnd::Enter);
        break;
    case TGridKeyAction::Up:
        SetCurrentCell(FCol, FRow - 1);
        break;
    case TGridKeyAction::Down:
        SetCurrentCell(FCol, FRow + 1);
        break;
    case TGridKeyAction::Left:
        SetCurrentCell(FCol - 1, FRow);
        break;
    case TGridKeyAction::Right:
        SetCurrentCell(FCol + 1, FRow);
        break;
    case TGridKeyAction::FirstCol:
        SetCurrentCell(FFixedCols, FRow);
        break;
    case TGridKeyAction::LastCol:
        SetCurrentCell(FColCount - 1, FRow);
        break;
    case TGridKeyAction::Copy:
        CopyToClipboard();
        break;
    case TGridKeyAction::Cut:
        CutToClipboard();
        break;
    case TGridKeyAction::Paste:
        PasteFromClipboard();
        break;
    }
    return true;
}

bool TStringAlignGrid::KeyPress(char ch)
{
    if (!FEditor.IsOpen() && (!OpensEditor(ch) || !ShowEditor()))
        return false;
    return FEditor.Type(CellRef(FCol, FRow), ch);
}

void TStringAlignGrid::ClickCell(int col, int row)
{
    if (col == FCol && row == FRow)
        ShowEditor();
    else
        SetCurrentCell(col, row);
}

void TStringAlignGrid::FocusLost()
{
    if (FEditor.IsOpen())
        FinishEdit(TEditEnd::FocusLost);
}
