#pragma once
// TStringAlignGrid: a grid of text cells with per-cell editability and
// alignment, a current cell, an in-place cell editor, row operations, sorting,
// and the text export and import that the memory file and the clipboard keys
// use. This is the model only: a window paints it, puts a real edit box over
// the current cell while EditorMode() is true, and feeds it keys, clicks and
// focus changes through the functions under "Input". What it keeps
// (GridCells), the sort's order (GridSort), the text form (GridText), the
// editor's state (GridEditor) and what a key does (GridKeys) are units of
// their own behind it.
//
// Rows and columns count from 0; the first FixedRows rows and FixedCols
// columns are fixed (headers): never current, never edited.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "memories/GridCells.h"
#include "memories/GridEditor.h"
#include "memories/GridSort.h"
#include "ui/Controls.h"

// Where the editor goes after an edit accepted with Enter.
enum class TNextCellEdit {
    nc_rightdown, // the next cell to the right, wrapping to the next row
    nc_downright  // the next cell below, wrapping to the next column
};

// What happens when an edit accepted with Enter has no next cell.
enum class TAfterLastCellEdit {
    lc_stop, // the editor stays closed on the last cell
    lc_exit  // the focus moves on to the window's next control (OnFocusNextControl)
};

using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TValidateEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& Accept)>;
using TGridCellEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;

// The clipboard as the grid's copy, cut and paste keys see it.
class IGridClipboard {
public:
    virtual ~IGridClipboard() = default;
    // Puts plain text on the clipboard (the system's copy ends in a NUL);
    // false when that failed.
    virtual bool SetText(const std::string& text) = 0;
    // Every byte of the clipboard's plain text as stored, whatever follows its
    // NUL; false when there is none or it cannot be read, or when it holds
    // characters that the memory file cannot (the window told the operator).
    virtual bool GetText(std::string& bytes) = 0;
};

class TStringAlignGrid : public TObject {
public:
    TStringAlignGrid(int colCount = 5, int rowCount = 5);

    // --- Size. New rows and columns are empty; shrinking drops what lies
    // beyond, and an editor on a dropped cell closes without any event. There
    // is always at least one row and one column that are not fixed
    // (EInvalidOperation otherwise).
    int ColCount() const { return FColCount; }
    int RowCount() const { return static_cast<int>(FRows.size()); }
    void SetRowCount(int count);
    int FixedCols() const { return FFixedCols; }
    int FixedRows() const { return FFixedRows; }

    // --- Cells. Reading outside the grid gives "", writing there raises
    // EInvalidOperation "Grid index out of range". While the editor is open its
    // text is the current cell's text.
    const std::string& Cells(int col, int row) const;
    void SetCells(int col, int row, const std::string& text);

    // --- Editability and alignment: the cell's setting first, then its
    // column's, then its row's; when none is set, the grid default decides.
    void SetCellEditable(int col, int row, TEditSetting setting);
    void SetColEditable(int col, TEditSetting setting);
    void SetRowEditable(int row, TEditSetting setting);
    TEditSetting RowEditable(int row) const { return RowProps(row).Editable; }
    bool DefaultEditable = true;
    // False outside the grid and on fixed cells.
    bool IsCellEditable(int col, int row) const;

    void SetCellAlignment(int col, int row, TCellAlign alignment);
    void SetColAlignment(int col, TCellAlign alignment);
    // Never NotSet: Left when none is set.
    TCellAlign Alignment(int col, int row) const;

    // --- The current cell: never a fixed cell. Moving it asks OnSelectCell;
    // moving it while the editor is open ends that edit with validation (no
    // automatic move), and a rejected edit keeps the cell current with its
    // editor reopened. False when the move was refused or undone.
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    bool SetCurrentCell(int col, int row);
    bool SetCol(int col) { return SetCurrentCell(col, FRow); }
    bool SetRow(int row) { return SetCurrentCell(FCol, row); }
    TSelectCellEvent OnSelectCell;

    // --- Rows.
    // Inserts an empty row before `row` (0 to RowCount); the current row and
    // an open editor stay with their record.
    void InsertBlankRow(int row);
    // Does nothing for a fixed row, a row outside the grid, or the last row
    // that is not fixed. An editor on the row closes without any event; an
    // editor below it goes on, on its record. A row above the current one
    // moves the current row up with its record; deleting the current row
    // leaves the current row index, showing the next record (or the new last
    // row).
    void DeleteGridRow(int row);
    // Exchanges two rows whole, texts and properties; the current row (and an
    // open editor) follows its record. EInvalidOperation outside the grid.
    void SwapRows(int row1, int row2);
    // Sorts the rows below the fixed ones by the text of one column, compared
    // with ByteLess; equal texts may change their order. The current row
    // follows its record. EInvalidOperation for a column outside the grid.
    void SortRowsByColumn(int col, bool ascending = true);

    // --- Text. The rectangle is left column, top row, right column, bottom
    // row.
    // Each row of the rectangle as one line: every cell's text followed by
    // the separator, then CR LF. A negative left or top is 0; a right (bottom)
    // that is negative or below the left (top), or past the grid, is the last
    // column (row). A rectangle wholly outside the grid gives nothing.
    std::string ExportCellsAsText(char separator, int left = -1, int top = -1, int right = -1,
                                  int bottom = -1) const;
    // Writes the source's lines into the grid from (left, top): a line ends at
    // CR LF, CR or LF, a break at the very end adds no line, a NUL ends the
    // text. Each line is split at the separator, an empty last piece dropped;
    // piece i goes to column left + i. A right (bottom) below the left (top)
    // means no limit; a negative left or top is 0. The grid grows to every row
    // and column written; nothing shrinks. Returns the number of cells written.
    int ImportCellsFromText(std::string_view source, char separator, int left, int top, int right, int bottom);

    // --- The in-place editor. It sits on the current cell; its text is the
    // cell's text, so a typed text is in the cell at once. The text the cell
    // had when the editor opened is kept for Escape.
    bool EditorMode() const { return FEditor.IsOpen(); }
    const std::string& EditorText() const { return Cells(FCol, FRow); }
    // Its selection (in EditorText()) and sessions: a window knows by the
    // session when the whole text is selected anew.
    const TGridEditor& Editor() const { return FEditor; }
    // Opens the editor on the current cell with its text all selected; false
    // when the cell is not editable. True when it is open already.
    bool ShowEditor();
    // Ends an open edit as moving away does: validation, no automatic move.
    // False when the text was rejected and the editor reopened.
    bool ApplyEdit();
    // Escape: the kept text back, the editor closed, OnCancelEdit; no
    // validation.
    void CancelEdit();
    // The real edit box changed (typing, pasting). A TAB, CR or LF is stored
    // as a blank, so a cell never holds a line break or a separator of the
    // memory file; the window shows EditorText() again when it differs.
    // outside: the characters of the box's text that the system's code page,
    // the memory file's, cannot hold (UTF-8). While there are any, the cell
    // keeps the text it had when the editor opened, the window leaves the
    // box's text as typed, and the edit cannot end: every way of ending it
    // but Escape is refused with OnUnstorableText, the editor staying open.
    void SetEditorText(const std::string& text, size_t selStart, size_t selLength,
                       const std::string& outside = {});

    bool AutoEditNextCell = false;
    TNextCellEdit NextCellEdit = TNextCellEdit::nc_rightdown;
    TAfterLastCellEdit AfterLastCellEdit = TAfterLastCellEdit::lc_stop;

    // End of an edit: OnValidateEdit with Accept true beforehand (the handler
    // may rewrite the cell); rejected: the cell current again, its editor
    // reopened on the rejected text, which becomes the kept text; accepted:
    // OnAfterEdit, then, after Enter only, the move to the next editable cell.
    TValidateEditEvent OnValidateEdit;
    TGridCellEvent OnAfterEdit;
    TGridCellEvent OnCancelEdit;
    // lc_exit: the window moves the focus to its next control.
    TNotifyEvent OnFocusNextControl;
    // An edit rejected when the focus left: the window gives the grid the
    // focus back.
    TNotifyEvent OnFocusGrid;
    // An edit that cannot end for the characters of EditorUnstorable()
    // (chars): the window, which sets this, tells the operator.
    std::function<void(TObject* Sender, const std::string& chars)> OnUnstorableText;

    // --- Clipboard keys (no editor open): copy, cut and paste the current
    // cell. They validate nothing. OnClipboardEdit follows a cut or a paste
    // that wrote the cell.
    // A cut empties the cell only once the copy succeeded; a paste takes the
    // clipboard's text up to its first NUL, up to its first TAB or line
    // break.
    IGridClipboard* Clipboard = nullptr;
    TGridCellEvent OnClipboardEdit;

    // --- Input from the window.
    // A key pressed while the grid or its editor has the focus, acted on as
    // GridKeyAction (GridKeys.h) answers. True when the grid took it; false
    // for a key that the edit box handles itself (caret keys, its own
    // clipboard keys) or that the grid does not use.
    bool KeyDown(unsigned key, TShiftState shift);
    // A character typed. No editor: a printable character or Backspace opens
    // the editor on an editable cell with that key applied (the text was all
    // selected, so it replaces it). Editor open: typing into the model's edit
    // text, for a window without a real edit box and for tests; TAB and LF go
    // in as blanks; CR and other control characters are not taken (Enter comes
    // through KeyDown).
    bool KeyPress(char ch);
    // A left click on a cell: the current cell opens its editor, another cell
    // becomes current.
    void ClickCell(int col, int row);
    // The grid and its editor lost the focus: an open edit ends with
    // validation at once.
    void FocusLost();

private:
    enum class TEditEnd { Enter, Move, FocusLost };

    void SetColCount(int count);
    // Inside the grid, not fixed, and allowed by OnSelectCell.
    bool CanSelectCell(int col, int row);
    bool CopyToClipboard();
    bool CutToClipboard();
    bool PasteFromClipboard();
    // The editor's characters that the memory file cannot hold, while they
    // keep the edit open; empty otherwise.
    const std::string& EditorUnstorable() const { return FEditor.Unstorable(EditorText()); }

    bool InGrid(int col, int row) const { return col >= 0 && col < FColCount && row >= 0 && row < RowCount(); }
    void CheckInGrid(int col, int row) const;
    TCellProps CellProps(int col, int row) const;
    TCellProps ColProps(int col) const;
    TCellProps RowProps(int row) const;
    TCellProps& CellPropsRef(int col, int row);
    TCellProps& ColPropsRef(int col);
    TCellProps& RowPropsRef(int row);
    std::string& CellRef(int col, int row);
    void PlaceCurrentCell();
    bool FinishEdit(TEditEnd how);
    void EditNextCell();

    int FColCount;
    int FFixedCols = 0;
    int FFixedRows = 1;
    std::vector<TGridRow> FRows;
    std::vector<TCellProps> FColProps; // may be shorter than the column count
    int FCol = 0;
    int FRow = 1;

    TGridEditor FEditor;
};
