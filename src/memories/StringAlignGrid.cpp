#include "memories/StringAlignGrid.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <istream>
#include <iterator>
#include <numeric>
#include <sstream>

#include "base/SysUtils.h"

namespace {

const std::string kEmpty;
const char kOutOfRange[] = "Grid index out of range";

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

std::string WithoutLineBreaks(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

} // namespace

bool ByteLess(std::string_view a, std::string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    if (common > 0)
        if (int order = std::memcmp(a.data(), b.data(), common))
            return order < 0;
    return a.size() < b.size();
}

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
            if (row.Cells.size() > static_cast<size_t>(count))
                row.Cells.resize(static_cast<size_t>(count));
            if (row.CellProps.size() > static_cast<size_t>(count))
                row.CellProps.resize(static_cast<size_t>(count));
        }
        if (FColProps.size() > static_cast<size_t>(count))
            FColProps.resize(static_cast<size_t>(count));
        if (FCol >= count)
            FEditing = false;
    }
    FColCount = count;
    PlaceCurrentCell();
}

void TStringAlignGrid::SetRowCount(int count)
{
    if (count <= FFixedRows)
        throw EInvalidOperation(kOutOfRange);
    if (FRow >= count)
        FEditing = false;
    FRows.resize(static_cast<size_t>(count));
    PlaceCurrentCell();
}

void TStringAlignGrid::SetFixedCols(int count)
{
    if (count < 0 || count >= FColCount)
        throw EInvalidOperation(kOutOfRange);
    FFixedCols = count;
    if (FCol < count)
        FEditing = false;
    PlaceCurrentCell();
}

void TStringAlignGrid::SetFixedRows(int count)
{
    if (count < 0 || count >= RowCount())
        throw EInvalidOperation(kOutOfRange);
    FFixedRows = count;
    if (FRow < count)
        FEditing = false;
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
    if (!InGrid(col, row))
        return kEmpty;
    const TGridRow& r = FRows[static_cast<size_t>(row)];
    return static_cast<size_t>(col) < r.Cells.size() ? r.Cells[static_cast<size_t>(col)] : kEmpty;
}

std::string& TStringAlignGrid::CellRef(int col, int row)
{
    CheckInGrid(col, row);
    std::vector<std::string>& cells = FRows[static_cast<size_t>(row)].Cells;
    if (cells.size() <= static_cast<size_t>(col))
        cells.resize(static_cast<size_t>(col) + 1);
    return cells[static_cast<size_t>(col)];
}

void TStringAlignGrid::SetCells(int col, int row, const std::string& text) { CellRef(col, row) = text; }

// ---------------------------------------------------------------- properties

TCellProps TStringAlignGrid::CellProps(int col, int row) const
{
    if (!InGrid(col, row))
        return {};
    const std::vector<TCellProps>& props = FRows[static_cast<size_t>(row)].CellProps;
    return static_cast<size_t>(col) < props.size() ? props[static_cast<size_t>(col)] : TCellProps{};
}

TCellProps TStringAlignGrid::ColProps(int col) const
{
    return col >= 0 && static_cast<size_t>(col) < FColProps.size() ? FColProps[static_cast<size_t>(col)]
                                                                    : TCellProps{};
}

TCellProps TStringAlignGrid::RowProps(int row) const
{
    return row >= 0 && row < RowCount() ? FRows[static_cast<size_t>(row)].Props : TCellProps{};
}

TCellProps& TStringAlignGrid::CellPropsRef(int col, int row)
{
    CheckInGrid(col, row);
    std::vector<TCellProps>& props = FRows[static_cast<size_t>(row)].CellProps;
    if (props.size() <= static_cast<size_t>(col))
        props.resize(static_cast<size_t>(col) + 1);
    return props[static_cast<size_t>(col)];
}

TCellProps& TStringAlignGrid::ColPropsRef(int col)
{
    CheckInGrid(col, 0);
    if (FColProps.size() <= static_cast<size_t>(col))
        FColProps.resize(static_cast<size_t>(col) + 1);
    return FColProps[static_cast<size_t>(col)];
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
    const TEditSetting setting = SettingOf(col, row, &TCellProps::Editable);
    return setting == TEditSetting::NotSet ? DefaultEditable : setting == TEditSetting::Yes;
}

void TStringAlignGrid::SetCellAlignment(int col, int row, TCellAlign alignment)
{
    CellPropsRef(col, row).Alignment = alignment;
}

void TStringAlignGrid::SetColAlignment(int col, TCellAlign alignment) { ColPropsRef(col).Alignment = alignment; }

void TStringAlignGrid::SetRowAlignment(int row, TCellAlign alignment) { RowPropsRef(row).Alignment = alignment; }

TCellAlign TStringAlignGrid::Alignment(int col, int row) const
{
    const TCellAlign alignment = SettingOf(col, row, &TCellProps::Alignment);
    if (alignment != TCellAlign::NotSet)
        return alignment;
    return DefaultAlignment == TCellAlign::NotSet ? TCellAlign::Left : DefaultAlignment;
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
    if (FEditing && !FinishEdit(TEditEnd::Move))
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
    const bool editorBelow = FEditing && FRow > row;
    if (FEditing && FRow >= row)
        FEditing = false;
    FRows.erase(FRows.begin() + row);
    if (row < FRow)
        --FRow;
    else if (FRow >= RowCount())
        FRow = RowCount() - 1;
    // The editor below moved up with its record; its edit goes on.
    if (editorBelow)
        FEditing = true;
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
        FEditing = false;
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
    const std::vector<int> order = QuickSortOrder(keys, ascending);

    std::vector<TGridRow> sorted;
    sorted.reserve(static_cast<size_t>(count));
    int currentPlace = -1;
    for (int place = 0; place < count; ++place) {
        sorted.push_back(std::move(FRows[static_cast<size_t>(first + order[place])]));
        if (first + order[place] == FRow)
            currentPlace = place;
    }
    std::move(sorted.begin(), sorted.end(), FRows.begin() + first);
    if (currentPlace >= 0)
        FRow = first + currentPlace;
}

// ---------------------------------------------------------------- text

void TStringAlignGrid::ExportCellsAsText(std::string& target, char separator, int left, int top, int right,
                                         int bottom) const
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    if (right < 0 || right < left || right >= FColCount)
        right = FColCount - 1;
    if (bottom < 0 || bottom < top || bottom >= RowCount())
        bottom = RowCount() - 1;
    if (left > right || top > bottom)
        return;
    for (int row = top; row <= bottom; ++row) {
        for (int col = left; col <= right; ++col) {
            target += Cells(col, row);
            target += separator;
        }
        target += "\r\n";
    }
}

std::string TStringAlignGrid::ExportCellsAsText(char separator, int left, int top, int right, int bottom) const
{
    std::string text;
    ExportCellsAsText(text, separator, left, top, right, bottom);
    return text;
}

int TStringAlignGrid::ImportCellsFromText(std::string_view source, char separator, int left, int top, int right,
                                          int bottom)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    const bool colLimit = right >= left;
    const bool rowLimit = bottom >= top;
    source = source.substr(0, source.find('\0'));

    int written = 0;
    int64_t row = top;
    size_t pos = 0;
    while (pos < source.size() && row < INT_MAX && (!rowLimit || row <= bottom)) {
        size_t end = source.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view line = source.substr(pos, end - pos);
        pos = end;
        if (pos < source.size())
            pos += source[pos] == '\r' && pos + 1 < source.size() && source[pos + 1] == '\n' ? 2 : 1;

        if (row >= RowCount())
            SetRowCount(static_cast<int>(row) + 1);
        std::vector<std::string_view> pieces;
        size_t start = 0;
        for (;;) {
            const size_t cut = line.find(separator, start);
            if (cut == std::string_view::npos) {
                pieces.push_back(line.substr(start));
                break;
            }
            pieces.push_back(line.substr(start, cut - start));
            start = cut + 1;
        }
        if (pieces.back().empty())
            pieces.pop_back();
        int64_t col = left;
        for (std::string_view piece : pieces) {
            if ((colLimit && col > right) || col >= INT_MAX)
                break;
            if (col >= FColCount)
                SetColCount(static_cast<int>(col) + 1);
            CellRef(static_cast<int>(col), static_cast<int>(row)).assign(piece);
            ++written;
            ++col;
        }
        ++row;
    }
    return written;
}

int TStringAlignGrid::ImportCellsFromText(std::istream* source, char separator, int left, int top, int right,
                                          int bottom)
{
    if (!source)
        return 0;
    source->clear();
    source->seekg(0);
    const std::string text{std::istreambuf_iterator<char>(*source), std::istreambuf_iterator<char>()};
    return ImportCellsFromText(text, separator, left, top, right, bottom);
}

// ---------------------------------------------------------------- editor

size_t TStringAlignGrid::EditorSelStart() const { return FEditing ? std::min(FSelStart, EditorText().size()) : 0; }

size_t TStringAlignGrid::EditorSelLength() const
{
    return FEditing ? std::min(FSelLength, EditorText().size() - EditorSelStart()) : 0;
}

void TStringAlignGrid::OpenEditor()
{
    FEditing = true;
    ++FEditorSession;
    FKeptText = Cells(FCol, FRow);
    FSelStart = 0;
    FSelLength = FKeptText.size();
}

bool TStringAlignGrid::ShowEditor()
{
    if (FEditing)
        return true;
    if (!IsCellEditable(FCol, FRow))
        return false;
    OpenEditor();
    return true;
}

bool TStringAlignGrid::ApplyEdit() { return !FEditing || FinishEdit(TEditEnd::Move); }

void TStringAlignGrid::CancelEdit()
{
    if (!FEditing)
        return;
    FEditing = false;
    CellRef(FCol, FRow) = FKeptText;
    if (OnCancelEdit)
        OnCancelEdit(this, FCol, FRow);
}

bool TStringAlignGrid::FinishEdit(TEditEnd how)
{
    const int col = FCol;
    const int row = FRow;
    FEditing = false;
    bool accept = true;
    if (OnValidateEdit)
        OnValidateEdit(this, col, row, accept);
    if (!accept) {
        if (InGrid(col, row) && col >= FFixedCols && row >= FFixedRows) {
            FCol = col;
            FRow = row;
            OpenEditor();
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
            OpenEditor();
            return;
        }
    }
    if (AfterLastCellEdit == TAfterLastCellEdit::lc_exit && OnFocusNextControl)
        OnFocusNextControl(this);
}

void TStringAlignGrid::SetEditorText(const std::string& text, size_t selStart, size_t selLength)
{
    if (!FEditing)
        return;
    CellRef(FCol, FRow) = WithoutLineBreaks(text);
    FSelStart = selStart;
    FSelLength = selLength;
}

void TStringAlignGrid::ReplaceSelection(const std::string& text)
{
    const size_t start = EditorSelStart();
    const size_t length = EditorSelLength();
    CellRef(FCol, FRow).replace(start, length, text);
    FSelStart = start + text.size();
    FSelLength = 0;
}

void TStringAlignGrid::BackspaceInEditor()
{
    const size_t start = EditorSelStart();
    if (EditorSelLength() == 0 && start > 0) {
        FSelStart = start - 1;
        FSelLength = 1;
    }
    ReplaceSelection("");
}

// ---------------------------------------------------------------- clipboard

bool TStringAlignGrid::CopyToClipboard()
{
    if (!Clipboard || FEditing)
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
    if (!Clipboard || FEditing)
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
    const bool withShift = (shift & ssShift) != 0;
    const bool withCtrl = (shift & ssCtrl) != 0;
    if (FEditing) {
        switch (key) {
        case kKeyEscape:
            CancelEdit();
            return true;
        case kKeyReturn:
            FinishEdit(TEditEnd::Enter);
            return true;
        case kKeyUp:
            SetCurrentCell(FCol, FRow - 1);
            return true;
        case kKeyDown:
            SetCurrentCell(FCol, FRow + 1);
            return true;
        default:
            return false;
        }
    }
    switch (key) {
    case kKeyReturn:
    case kKeyF2:
        ShowEditor();
        return true;
    case kKeyUp:
        SetCurrentCell(FCol, FRow - 1);
        return true;
    case kKeyDown:
        SetCurrentCell(FCol, FRow + 1);
        return true;
    case kKeyLeft:
        SetCurrentCell(FCol - 1, FRow);
        return true;
    case kKeyRight:
        SetCurrentCell(FCol + 1, FRow);
        return true;
    case kKeyHome:
        SetCurrentCell(FFixedCols, FRow);
        return true;
    case kKeyEnd:
        SetCurrentCell(FColCount - 1, FRow);
        return true;
    case kKeyInsert:
        if (withCtrl && !withShift)
            return CopyToClipboard(), true;
        if (withShift && !withCtrl)
            return PasteFromClipboard(), true;
        return false;
    case kKeyDelete:
        if (withShift && !withCtrl)
            return CutToClipboard(), true;
        return false;
    default:
        return false;
    }
}

bool TStringAlignGrid::KeyPress(char ch)
{
    const unsigned char code = static_cast<unsigned char>(ch);
    const bool printable = code >= 32 && code != 127;
    if (!FEditing) {
        if (!printable && ch != '\b')
            return false;
        if (!ShowEditor())
            return false;
    }
    if (ch == '\b') {
        BackspaceInEditor();
        return true;
    }
    if (ch == '\t' || ch == '\n') {
        ReplaceSelection(" ");
        return true;
    }
    if (!printable)
        return false;
    ReplaceSelection(std::string(1, ch));
    return true;
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
    if (FEditing)
        FinishEdit(TEditEnd::FocusLost);
}
