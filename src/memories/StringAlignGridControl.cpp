#include "memories/StringAlignGridControl.h"

#include <algorithm>

#include "ui/Forms.h"
#include "ui/Keys.h"

namespace {

constexpr int kDefaultColWidth = 64;

TEditAlign EditAlignOf(TCellAlign align)
{
    switch (align) {
    case TCellAlign::Center:
        return TEditAlign::Center;
    case TCellAlign::Right:
        return TEditAlign::Right;
    default:
        return TEditAlign::Left;
    }
}

} // namespace

TStringAlignGridControl::TStringAlignGridControl(TComponent* AOwner, TStringAlignGrid& grid)
    : TCustomControl(AOwner), FGrid(grid)
{
    SetTabStop(true);
    SetColor(clWhite);
    FTopRow = FGrid.FixedRows();
    FGrid.Clipboard = this;
    FGrid.OnUnstorableText = [this](TObject*, const std::string& chars) {
        Refuse(UnstorableTextMessage(chars, TRefusedText::Edit));
    };
    FScrollBar = new TScrollBar(this);
    FScrollBar->SetParent(this);
    FScrollBar->OnScroll = [this](TObject*) { SetTopRow(FGrid.FixedRows() + FScrollBar->Position()); };
    UpdateScrollBar();
}

TStringAlignGridControl::~TStringAlignGridControl()
{
    FEdit.reset();
    if (FGrid.Clipboard == static_cast<IGridClipboard*>(this)) {
        FGrid.Clipboard = nullptr;
        FGrid.OnUnstorableText = nullptr;
    }
}

// ---------------------------------------------------------------- layout

void TStringAlignGridControl::SetDefaultRowHeight(int height)
{
    FRowHeight = std::max(height, 1);
    ModelChanged();
}

void TStringAlignGridControl::SetColWidths(std::vector<int> widths)
{
    FColWidths = std::move(widths);
    ModelChanged();
}

int TStringAlignGridControl::FixedHeight() const { return FGrid.FixedRows() * RowPitch(); }

bool TStringAlignGridControl::ScrollBarVisible() const
{
    return FixedHeight() + static_cast<int64_t>(FGrid.RowCount() - FGrid.FixedRows()) * RowPitch() > Height();
}

int TStringAlignGridControl::CellsWidth() const
{
    return std::max(0, Width() - (ScrollBarVisible() ? kScrollBarWidth : 0));
}

int TStringAlignGridControl::ColWidth(int col) const
{
    if (col < 0 || col >= FGrid.ColCount())
        return 0;
    const auto designed = [this](int c) {
        return static_cast<size_t>(c) < FColWidths.size() ? FColWidths[static_cast<size_t>(c)] : kDefaultColWidth;
    };
    const int last = FGrid.ColCount() - 1;
    if (col < last)
        return designed(col);
    int used = 0;
    for (int c = 0; c < last; ++c)
        used += designed(c) + 1;
    const int rest = CellsWidth() - used - 1;
    return rest > 0 ? rest : designed(col);
}

int TStringAlignGridControl::ColLeft(int col) const
{
    int left = 0;
    for (int c = 0; c < col; ++c)
        left += ColWidth(c) + 1;
    return left;
}

int TStringAlignGridControl::VisibleRowCount() const
{
    return std::max(1, (Height() - FixedHeight()) / RowPitch());
}

int TStringAlignGridControl::MaxTopRow() const
{
    return std::max(FGrid.FixedRows(), FGrid.RowCount() - VisibleRowCount());
}

void TStringAlignGridControl::SetTopRow(int row)
{
    row = std::clamp(row, FGrid.FixedRows(), MaxTopRow());
    if (row == FTopRow)
        return;
    FTopRow = row;
    UpdateScrollBar();
    Invalidate();
    SyncEditor();
}

void TStringAlignGridControl::UpdateScrollBar()
{
    FScrollBar->SetRange(MaxTopRow() - FGrid.FixedRows(), VisibleRowCount());
    FScrollBar->SetPosition(FTopRow - FGrid.FixedRows());
    FScrollBar->SetBounds(CellsWidth(), 0, kScrollBarWidth, Height());
    FScrollBar->SetVisible(ScrollBarVisible());
}

void TStringAlignGridControl::ScrollInView(int row)
{
    if (row < FGrid.FixedRows())
        return;
    if (row < FTopRow)
        SetTopRow(row);
    else if (row >= FTopRow + VisibleRowCount())
        SetTopRow(row - VisibleRowCount() + 1);
}

TRect TStringAlignGridControl::CellRect(int col, int row) const
{
    if (col < 0 || col >= FGrid.ColCount() || row < 0 || row >= FGrid.RowCount())
        return {};
    const bool fixed = row < FGrid.FixedRows();
    if (!fixed && row < FTopRow)
        return {};
    const int top = fixed ? row * RowPitch() : FixedHeight() + (row - FTopRow) * RowPitch();
    const int left = ColLeft(col);
    const TRect cell{left, top, left + ColWidth(col), top + FRowHeight};
    const TRect area{0, fixed ? 0 : FixedHeight(), CellsWidth(), Height()};
    const TRect shown = cell.Intersect(area);
    return shown.IsEmpty() ? TRect{} : shown;
}

bool TStringAlignGridControl::MouseToCell(int x, int y, int& col, int& row) const
{
    if (x < 0 || y < 0 || x >= CellsWidth() || y >= Height())
        return false;
    row = y < FixedHeight() ? y / RowPitch() : FTopRow + (y - FixedHeight()) / RowPitch();
    if (row >= FGrid.RowCount())
        return false;
    for (col = 0; col < FGrid.ColCount(); ++col)
        if (x < ColLeft(col) + ColWidth(col) + 1)
            return true;
    return false;
}

void TStringAlignGridControl::SetBounds(int left, int top, int width, int height)
{
    TCustomControl::SetBounds(left, top, width, height);
    SetTopRow(FTopRow);
    UpdateScrollBar();
    SyncEditor();
}

// ---------------------------------------------------------------- the model and its editor

void TStringAlignGridControl::ModelChanged()
{
    FTopRow = std::clamp(FTopRow, FGrid.FixedRows(), MaxTopRow());
    const bool editing = FGrid.EditorMode();
    const unsigned session = FGrid.Editor().Session();
    if (FGrid.Col() != FSeenCol || FGrid.Row() != FSeenRow || (editing && session != FSeenSession))
        ScrollInView(FGrid.Row());
    FSeenCol = FGrid.Col();
    FSeenRow = FGrid.Row();
    FSeenSession = session;
    UpdateScrollBar();
    SyncEditor();
    Invalidate();
}

void TStringAlignGridControl::SyncEditor()
{
    if (!FGrid.EditorMode()) {
        FEdit.reset();
        FEditCol = FEditRow = -1;
        return;
    }
    TForm* form = ParentForm();
    TApplication* app = FindApplication(this);
    if (!form || !app)
        return;
    const int col = FGrid.Col();
    const int row = FGrid.Row();
    // The box's text sits where the cell's text is painted: the box starts
    // as far down the cell as the text does.
    TRect cell = CellRect(col, row);
    if (!cell.IsEmpty())
        cell.Top += std::max(0, (FRowHeight - app->Screen().TextExtent(Font(), "Wg").cy) / 2);
    const TPoint offset = FormOffset();
    const TRect bounds = cell.IsEmpty() ? TRect{} : cell.Offset(offset.X, offset.Y);
    if (!FEdit || col != FEditCol || row != FEditRow) {
        // A box per cell: the alignment of a box is fixed when it is made.
        FEdit.reset();
        FEditCol = FEditRow = -1;
        FEdit = app->NativeEdits().CreateNativeEdit(*form, bounds, Font(), EditAlignOf(FGrid.Alignment(col, row)), *this);
        FEditCol = col;
        FEditRow = row;
        FEditSession = FGrid.Editor().Session() - 1;
    } else {
        FEdit->SetBounds(bounds);
    }
    // Text the cell cannot take stays in the box as typed.
    const TGridEditor& editor = FGrid.Editor();
    const std::string& text = FGrid.EditorText();
    if (FEditSession != editor.Session() || (editor.Unstorable(text).empty() && FEdit->Text() != text)) {
        FPushingText = true;
        FEdit->SetText(text);
        FEdit->SetSelection(editor.SelStart(text), editor.SelLength(text));
        FPushingText = false;
        FEditSession = editor.Session();
    }
    if (Focused())
        FEdit->SetFocus();
}

void TStringAlignGridControl::NativeEditChanged()
{
    if (FPushingText || !FEdit || !FGrid.EditorMode())
        return;
    const std::string text = FEdit->Text();
    const std::string outside = FEdit->CharsOutsideCodePage();
    size_t start = 0;
    size_t length = 0;
    FEdit->GetSelection(start, length);
    FGrid.SetEditorText(text, start, length, outside);
    // The model keeps no TAB or line break: the box shows what the cell holds.
    if (outside.empty() && FGrid.EditorText() != text) {
        FPushingText = true;
        FEdit->SetText(FGrid.EditorText());
        FEdit->SetSelection(start, length);
        FPushingText = false;
    }
    Invalidate();
}

bool TStringAlignGridControl::SetText(const std::string& text)
{
    TApplication* app = FindApplication(this);
    return app && app->Shell().SetClipboardText(text);
}

bool TStringAlignGridControl::GetText(std::string& bytes)
{
    TApplication* app = FindApplication(this);
    std::string outside;
    if (!app || !app->Shell().GetClipboardText(bytes, outside))
        return false;
    if (outside.empty())
        return true;
    // Not pasted at all rather than pasted with others in their place.
    Refuse(UnstorableTextMessage(outside, TRefusedText::Paste));
    return false;
}

void TStringAlignGridControl::Refuse(const std::string& message)
{
    TApplication* app = FindApplication(this);
    TForm* form = ParentForm();
    if (app)
        app->Shell().ShowMessageBoxUtf8(message, form ? form->Caption() : std::string(),
                                 MsgBox::kOk | MsgBox::kIconWarning);
}

// ---------------------------------------------------------------- painting

void TStringAlignGridControl::Paint(TCanvas& canvas)
{
    const int cellsWidth = CellsWidth();
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = Color();
    canvas.FillRect({0, 0, cellsWidth, Height()});
    canvas.Font = Font();

    // Only the rows inside the area being painted.
    const TRect area = canvas.Clip.Offset(-canvas.Origin.X, -canvas.Origin.Y);
    std::vector<int> lefts;
    std::vector<int> widths;
    for (int col = 0, left = 0; col < FGrid.ColCount() && left < cellsWidth; ++col) {
        lefts.push_back(left);
        widths.push_back(ColWidth(col));
        left += widths.back() + 1;
    }
    const int gridRight = lefts.empty() ? 0 : std::min(cellsWidth, lefts.back() + widths.back() + 1);
    auto paintRow = [&](int row, int top) {
        if (top + RowPitch() <= area.Top || top >= area.Bottom)
            return;
        for (size_t c = 0; c < lefts.size(); ++c)
            PaintCell(canvas, static_cast<int>(c), row,
                      {lefts[c], top, lefts[c] + widths[c], top + FRowHeight});
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = LineColor;
        canvas.FillRect({0, top + FRowHeight, gridRight, top + RowPitch()});
        for (size_t c = 0; c < lefts.size(); ++c)
            canvas.FillRect({lefts[c] + widths[c], top, lefts[c] + widths[c] + 1, top + RowPitch()});
    };
    for (int row = 0; row < FGrid.FixedRows(); ++row)
        paintRow(row, row * RowPitch());
    for (int row = FTopRow, top = FixedHeight(); row < FGrid.RowCount() && top < Height(); ++row, top += RowPitch())
        paintRow(row, top);
}

void TStringAlignGridControl::PaintCell(TCanvas& canvas, int col, int row, const TRect& rect)
{
    const bool fixed = row < FGrid.FixedRows() || col < FGrid.FixedCols();
    const bool current = !fixed && col == FGrid.Col() && row == FGrid.Row();
    if (fixed) {
        DrawRaised(canvas, {rect.Left, rect.Top, rect.Right + 1, rect.Bottom + 1});
    } else if (current) {
        // Under an open editor the cell takes the edit box's colour, so that
        // the box and the cell around it look one.
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = FGrid.EditorMode() && FEdit ? clWindow : SelectedCellColor;
        canvas.FillRect(rect);
        if (FGrid.EditorMode() && FEdit)
            return;
    }
    const std::string& text = FGrid.Cells(col, row);
    if (text.empty())
        return;
    canvas.Font.SetColor(current ? SelectedFontColor : Font().Color());
    const TSize extent = canvas.TextExtent(text);
    int x = rect.Left + 2;
    // A text wider than its cell shows its beginning, whatever the alignment.
    const TCellAlign align = extent.cx + 4 > rect.Width() ? TCellAlign::Left : FGrid.Alignment(col, row);
    switch (align) {
    case TCellAlign::Center:
        x = rect.Left + (rect.Width() - extent.cx) / 2;
        break;
    case TCellAlign::Right:
        x = rect.Right - 2 - extent.cx;
        break;
    default:
        break;
    }
    const TRect clip = canvas.Clip;
    canvas.Clip = rect.Offset(canvas.Origin.X, canvas.Origin.Y).Intersect(clip);
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.TextOutAt(x, rect.Top + (FRowHeight - extent.cy) / 2, text);
    canvas.Clip = clip;
}

// ---------------------------------------------------------------- mouse

void TStringAlignGridControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    // The scroll bar takes its own presses; these are the cells'.
    int col;
    int row;
    if (button == TMouseButton::mbLeft && MouseToCell(x, y, col, row)) {
        FGrid.ClickCell(col, row);
        ModelChanged();
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

bool TStringAlignGridControl::MouseWheel(TShiftState, int delta, int, int)
{
    FWheelRest += delta;
    const int notches = FWheelRest / 120;
    FWheelRest %= 120;
    if (notches)
        SetTopRow(FTopRow - notches * kWheelRows);
    return true;
}

// ---------------------------------------------------------------- keys and focus

void TStringAlignGridControl::Page(int direction)
{
    const int page = VisibleRowCount();
    const int row = std::clamp(FGrid.Row() + direction * page, FGrid.FixedRows(), FGrid.RowCount() - 1);
    if (FGrid.SetCurrentCell(FGrid.Col(), row))
        SetTopRow(FTopRow + direction * page);
}

void TStringAlignGridControl::KeyDown(uint16_t& key, TShiftState shift)
{
    const bool ctrl = (shift & ssCtrl) != 0;
    switch (key) {
    case Vk::Tab:
        return; // the form moves the focus
    case Vk::Prior:
    case Vk::Next:
        Page(key == Vk::Prior ? -1 : 1);
        key = 0;
        break;
    case Vk::Home:
    case Vk::End:
        if (ctrl && !FGrid.EditorMode()) {
            FGrid.SetCurrentCell(FGrid.Col(), key == Vk::Home ? FGrid.FixedRows() : FGrid.RowCount() - 1);
            key = 0;
            break;
        }
        [[fallthrough]];
    default:
        if (FGrid.KeyDown(key, shift))
            key = 0;
        break;
    }
    ModelChanged();
}

void TStringAlignGridControl::KeyPress(char& key)
{
    // Tab moves the focus; it is never text.
    if (key == '\t')
        return;
    if (FGrid.KeyPress(key))
        key = 0;
    ModelChanged();
}

void TStringAlignGridControl::DoEnter()
{
    Invalidate();
    SyncEditor();
}

void TStringAlignGridControl::DoExit()
{
    // The grid lost the focus: an open edit ends at once, and one rejected
    // takes the focus back (the model's OnFocusGrid).
    FGrid.FocusLost();
    ModelChanged();
}
