#pragma once
// The window's side of a TStringAlignGrid: paints the visible cells, scrolls
// the rows with the wheel, the keys and a scroll bar (a TScrollBar it owns and
// places on its right edge), passes mouse and keys to the model, keeps a
// native edit box over the current cell while the model's editor is open, and
// gives the model the clipboard.
//
// The model may also be changed from outside (the memory list's commands);
// whoever does so calls ModelChanged() afterwards.

#include <memory>
#include <vector>

#include "memories/StringAlignGrid.h"
#include "ui/Classes.h"
#include "ui/Controls.h"
#include "ui/Host.h"
#include "ui/ScrollBar.h"

class TStringAlignGridControl : public TCustomControl, private INativeEditEvents, private IGridClipboard {
public:
    static constexpr int kScrollBarWidth = TScrollBar::kDefaultWidth;
    // Rows per notch of the mouse wheel.
    static constexpr int kWheelRows = 3;

    // The model must outlive the control.
    TStringAlignGridControl(TComponent* AOwner, TStringAlignGrid& grid);
    ~TStringAlignGridControl() override;

    TStringAlignGrid& Grid() const { return FGrid; }

    // Layout: every row is DefaultRowHeight tall, the grid line below and to
    // the right of each cell is one pixel. Columns take their widths in
    // order (64 when not given); the last one stretches to fill the width
    // left of the scroll bar.
    int DefaultRowHeight() const { return FRowHeight; }
    void SetDefaultRowHeight(int height);
    void SetColWidths(std::vector<int> widths);
    // The width a column is painted with.
    int ColWidth(int col) const;

    TColor FixedColor = clBtnFace;
    TColor LineColor = clSilver;
    TColor SelectedCellColor = clTeal;
    TColor SelectedFontColor = clWhite;

    // Scrolling: the first row below the fixed rows that is shown.
    int TopRow() const { return FTopRow; }
    void SetTopRow(int row);
    // Rows below the fixed ones that fit wholly.
    int VisibleRowCount() const;
    // The scroll bar shows while the rows do not all fit wholly.
    bool ScrollBarVisible() const;
    // A cell's rectangle in the control, or an empty one when it is scrolled
    // away; clipped to the cell area when partly shown.
    TRect CellRect(int col, int row) const;
    // The cell under a point of the control; false outside the cells.
    bool MouseToCell(int x, int y, int& col, int& row) const;

    // After the model changed from outside: the current cell scrolled into
    // view when it moved, the edit box following the model's editor, a
    // repaint.
    void ModelChanged();

    void Paint(TCanvas& canvas) override;
    void SetBounds(int left, int top, int width, int height) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool MouseWheel(TShiftState shift, int delta, int x, int y) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void KeyPress(char& key) override;
    void DoEnter() override;
    void DoExit() override;

private:
    // INativeEditEvents
    void NativeEditChanged() override;
    // IGridClipboard
    bool SetText(const std::string& text) override;
    bool GetText(std::string& bytes) override;
    // Text refused for characters the memory file cannot hold: the
    // operator is told in a box titled as the window (message in UTF-8).
    void Refuse(const std::string& message);

    int RowPitch() const { return FRowHeight + 1; }
    int FixedHeight() const;
    int CellsWidth() const;
    int ColLeft(int col) const;
    int MaxTopRow() const;
    void ScrollInView(int row);
    void SyncEditor();
    void Page(int direction);

    // The bar's place, range and position from the rows and the top row.
    void UpdateScrollBar();
    void PaintCell(TCanvas& canvas, int col, int row, const TRect& rect);

    TStringAlignGrid& FGrid;
    int FRowHeight = 24;
    std::vector<int> FColWidths;
    int FTopRow = 1;

    std::unique_ptr<INativeEdit> FEdit;
    int FEditCol = -1;
    int FEditRow = -1;
    unsigned FEditSession = 0;
    bool FPushingText = false;

    // What ModelChanged saw last, to scroll only when the current cell moved.
    int FSeenCol = -1;
    int FSeenRow = -1;
    unsigned FSeenSession = 0;

    int FWheelRest = 0;
    TScrollBar* FScrollBar = nullptr;
};
