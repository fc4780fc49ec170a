#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "base/SysUtils.h"
#include "memories/GridText.h"
#include "memories/StringAlignGrid.h"
#include "tests/memories/GridSupport.h"
#include "ui/Keys.h"

namespace {

using MemoryTests::CellsOf;
using MemoryTests::Rows;

using G = TStringAlignGrid;

std::vector<std::string> ColumnOf(const TStringAlignGrid& grid, int col)
{
    std::vector<std::string> texts;
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
        texts.push_back(grid.Cells(col, row));
    return texts;
}

// A grid holding the rows given, the first being the header.
void Fill(TStringAlignGrid& grid, const Rows& rows)
{
    grid.SetRowCount(static_cast<int>(rows.size()));
    for (size_t row = 0; row < rows.size(); ++row)
        for (size_t col = 0; col < rows[row].size(); ++col)
            grid.SetCells(static_cast<int>(col), static_cast<int>(row), rows[row][col]);
}

struct TFakeClipboard : IGridClipboard {
    bool SetText(const std::string& text) override { return !FailSet && (Bytes = text, true); }
    bool GetText(std::string& bytes) override { return bytes = Bytes, true; }
    std::string Bytes;
    bool FailSet = false;
};

TEST(GridTest, EditabilityIsLookedUpInCellThenColumnThenRowThenDefault)
{
    using E = TEditSetting;
    struct Case {
        E Cell, Col, Row;
        bool Default, Expected;
    };
    const Case cases[] = {
        {E::NotSet, E::NotSet, E::NotSet, true, true},  {E::NotSet, E::NotSet, E::NotSet, false, false},
        {E::NotSet, E::NotSet, E::No, true, false},     {E::NotSet, E::NotSet, E::Yes, false, true},
        {E::NotSet, E::No, E::Yes, true, false},        {E::NotSet, E::Yes, E::No, false, true},
        {E::Yes, E::No, E::No, false, true},            {E::No, E::Yes, E::Yes, true, false},
    };
    for (const Case& c : cases) {
        G grid(3, 3);
        grid.DefaultEditable = c.Default;
        grid.SetCellEditable(1, 2, c.Cell);
        grid.SetColEditable(1, c.Col);
        grid.SetRowEditable(2, c.Row);
        EXPECT_EQ(grid.IsCellEditable(1, 2), c.Expected)
            << int(c.Cell) << int(c.Col) << int(c.Row) << c.Default;
        EXPECT_EQ(grid.IsCellEditable(0, 2), c.Row == E::NotSet ? c.Default : c.Row == E::Yes)
            << "a neighbour sees only the row's setting";
    }
    G grid(3, 3);
    EXPECT_FALSE(grid.IsCellEditable(1, 0)) << "fixed row";
    EXPECT_FALSE(grid.IsCellEditable(3, 1)) << "outside";
    EXPECT_FALSE(grid.IsCellEditable(1, -1)) << "outside";
}

TEST(GridTest, CurrentCellNeverReachesAFixedOrRefusedCell)
{
    G grid(3, 3);
    int asked = 0;
    grid.OnSelectCell = [&](TObject*, int col, int row, bool& can) { can = (++asked, !(col == 2 && row == 2)); };
    using Step = std::pair<std::function<void()>, std::pair<int, int>>;
    const Step steps[] = {
        {[&] { grid.KeyDown(Vk::Up, 0); }, {0, 1}},
        {[&] { grid.ClickCell(1, 0); }, {0, 1}},
        {[&] { grid.SetCurrentCell(3, 1); }, {0, 1}},
        {[&] { grid.KeyDown(Vk::End, 0); }, {2, 1}},
        {[&] { grid.KeyDown(Vk::Down, 0); }, {2, 1}}, // refused by the handler
        {[&] { grid.KeyDown(Vk::Home, 0); }, {0, 1}},
        {[&] { grid.KeyDown(Vk::Down, 0); }, {0, 2}},
        {[&] { grid.KeyDown(Vk::Right, 0); }, {1, 2}},
    };
    for (const auto& [step, cell] : steps) {
        step();
        EXPECT_EQ(std::pair(grid.Col(), grid.Row()), cell);
    }
    EXPECT_EQ(asked, 5) << "fixed and outside cells are refused before the handler is asked";
}

TEST(GridTest, DeleteGridRowRules)
{
    struct Case {
        const char* Name;
        int Rows;    // data rows a, b, c, ... under the header
        int Current; // current row
        bool Editing;
        int Delete;
        std::vector<std::string> After;
        int CurrentAfter;
        bool EditingAfter;
    };
    const Case cases[] = {
        {"header row", 3, 1, false, 0, {"a", "b", "c"}, 1, false},
        {"outside", 3, 1, false, 4, {"a", "b", "c"}, 1, false},
        {"negative", 3, 1, false, -1, {"a", "b", "c"}, 1, false},
        {"last data row left", 1, 1, false, 1, {"a"}, 1, false},
        {"above the current row", 3, 3, false, 1, {"b", "c"}, 2, false},
        {"the current row shows the next", 3, 2, false, 2, {"a", "c"}, 2, false},
        {"the current last row", 3, 3, false, 3, {"a", "b"}, 2, false},
        {"below the current row", 3, 1, false, 2, {"a", "c"}, 1, false},
        {"editor on the row closes", 3, 2, true, 2, {"a", "c"}, 2, false},
        {"editor below goes on", 3, 3, true, 1, {"b", "xy"}, 2, true},
        {"editor above stays", 3, 1, true, 3, {"xy", "b"}, 1, true},
    };
    for (const Case& c : cases) {
        G grid(1, 2);
        Rows rows = {{"h"}};
        for (int i = 0; i < c.Rows; ++i)
            rows.push_back({std::string(1, static_cast<char>('a' + i))});
        Fill(grid, rows);
        grid.SetRow(c.Current);
        int cancels = 0, validations = 0;
        grid.OnCancelEdit = [&](TObject*, int, int) { ++cancels; };
        grid.OnValidateEdit = [&](TObject*, int, int, bool&) { ++validations; };
        if (c.Editing) {
            grid.KeyPress('x');
            grid.KeyPress('y');
        }
        grid.DeleteGridRow(c.Delete);
        EXPECT_EQ(ColumnOf(grid, 0), c.After) << c.Name;
        EXPECT_EQ(grid.Row(), c.CurrentAfter) << c.Name;
        EXPECT_EQ(grid.EditorMode(), c.EditingAfter) << c.Name;
        EXPECT_EQ(cancels + validations, 0) << c.Name;
        if (c.EditingAfter) {
            EXPECT_EQ(grid.EditorText(), "xy") << c.Name;
            grid.KeyDown(Vk::Escape, 0);
            EXPECT_EQ(grid.Cells(0, grid.Row()), std::string(1, 'a' + c.Current - 1))
                << c.Name << ": Escape still restores the record's text";
        }
    }
}

TEST(GridTest, InsertAndSwapKeepTheCurrentRecordAndMoveProperties)
{
    G grid(1, 4);
    Fill(grid, {{"h"}, {"a"}, {"b"}, {"c"}});
    grid.SetRowEditable(1, TEditSetting::No);
    grid.SetRow(2);
    grid.SwapRows(1, 2);
    EXPECT_EQ(ColumnOf(grid, 0), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(grid.RowEditable(2), TEditSetting::No);
    EXPECT_EQ(grid.Row(), 1);
    grid.InsertBlankRow(1);
    EXPECT_EQ(ColumnOf(grid, 0), (std::vector<std::string>{"", "b", "a", "c"}));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_THROW(grid.SwapRows(1, 5), EInvalidOperation);
}

TEST(GridTest, SortMovesWholeRowsInTheSortsOrderAndTheCurrentRowFollowsItsRecord)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(random() % 40);
        const int alphabet = 1 + static_cast<int>(random() % 6);
        const bool ascending = round % 2 == 0;
        G grid(2, 2);
        grid.SetCells(0, 0, "header");
        grid.SetRowCount(n + 1);
        std::vector<std::string> keys;
        for (int i = 0; i < n; ++i) {
            std::string key(random() % 3, 'a');
            for (char& c : key)
                c = static_cast<char>('a' + random() % alphabet);
            keys.push_back(key);
            grid.SetCells(0, i + 1, key);
            grid.SetCells(1, i + 1, IntToStr(i));
            grid.SetRowEditable(i + 1, i % 2 ? TEditSetting::No : TEditSetting::Yes);
        }
        const int current = 1 + static_cast<int>(random() % n);
        grid.SetRow(current);
        grid.SortRowsByColumn(0, ascending);
        const std::vector<int> order = QuickSortOrder(std::vector<std::string_view>(keys.begin(), keys.end()), ascending);
        for (int place = 0; place < n; ++place) {
            ASSERT_EQ(grid.Cells(1, place + 1), IntToStr(order[place])) << "round " << round;
            ASSERT_EQ(grid.RowEditable(place + 1), order[place] % 2 ? TEditSetting::No : TEditSetting::Yes)
                << "round " << round << ": the row's properties go with it";
        }
        EXPECT_EQ(grid.Cells(1, grid.Row()), IntToStr(current - 1)) << "round " << round;
        EXPECT_EQ(grid.Cells(0, 0), "header") << "round " << round;
    }
    G grid(2, 2);
    EXPECT_THROW(grid.SortRowsByColumn(2), EInvalidOperation);
}

TEST(GridTextTest, ExportNormalisesAndClampsItsRectangle)
{
    G grid(3, 3);
    Fill(grid, {{"a", "b", "c"}, {"d", "e", "f"}, {"g", "h", "i"}});
    struct Case {
        int L, T, R, B;
        const char* Text;
    };
    const Case cases[] = {
        {-1, -1, -1, -1, "a\tb\tc\t\r\nd\te\tf\t\r\ng\th\ti\t\r\n"},
        {1, 1, 1, 1, "e\t\r\n"},
        {-5, 2, 0, -1, "g\t\r\n"},
        {2, 0, 1, 0, "c\t\r\n"},             // right below left: the last column
        {1, 1, 9, 99, "e\tf\t\r\nh\ti\t\r\n"}, // past the grid: clamped
        {3, 0, 5, 2, ""},                     // wholly outside
        {0, 7, 0, 9, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(grid.ExportCellsAsText('\t', c.L, c.T, c.R, c.B), c.Text)
            << c.L << " " << c.T << " " << c.R << " " << c.B;
    std::string target = "x";
    AppendCellsText(target, ';', {0, 0, 0, 0},
                    [&](int col, int row) -> const std::string& { return grid.Cells(col, row); });
    EXPECT_EQ(target, "xa;\r\n") << "appends to the target";
}

TEST(GridTextTest, ImportSplitsLinesAndPieces)
{
    struct Case {
        const char* Name;
        std::string Text;
        int L, T, R, B;
        Rows After;
        int Written;
    };
    const Rows start = {{"h0", "h1", "h2"}, {"a", "b", "c"}, {"d", "e", "f"}};
    const Case cases[] = {
        {"nothing", "", -1, -1, -1, -1, start, 0},
        {"CR LF, CR and LF", "1\t\r\n2\r3\n", 0, 0, -1, -1, {{"1", "h1", "h2"}, {"2", "b", "c"}, {"3", "e", "f"}}, 3},
        {"no trailing separator or break", "x\ty", 0, 1, -1, -1, {{"h0", "h1", "h2"}, {"x", "y", "c"}, {"d", "e", "f"}},
         2},
        {"empty line writes nothing", "\r\n\r\nz", 0, 0, -1, -1, {{"h0", "h1", "h2"}, {"a", "b", "c"}, {"z", "e", "f"}},
         1},
        {"empty pieces inside", "\t\tq\t", 0, 1, -1, -1, {{"h0", "h1", "h2"}, {"", "", "q"}, {"d", "e", "f"}}, 3},
        {"NUL ends the text", std::string("1\t2\0\t3\r\n4", 9), 0, 1, -1, -1,
         {{"h0", "h1", "h2"}, {"1", "2", "c"}, {"d", "e", "f"}}, 2},
        {"right and bottom limits", "1\t2\t3\r\n4\t5\t6\r\n7\r\n", 1, 0, 1, 1,
         {{"h0", "1", "h2"}, {"a", "4", "c"}, {"d", "e", "f"}}, 2},
        {"grows by rows and columns", "1\t2\t3\t4\r\n", 1, 3, -1, -1,
         {{"h0", "h1", "h2", "", ""}, {"a", "b", "c", "", ""}, {"d", "e", "f", "", ""}, {"", "1", "2", "3", "4"}}, 4},
        {"grows to a start past the grid", "x\r\n", 5, 4, -1, -1,
         {{"h0", "h1", "h2", "", "", ""},
          {"a", "b", "c", "", "", ""},
          {"d", "e", "f", "", "", ""},
          {"", "", "", "", "", ""},
          {"", "", "", "", "", "x"}},
         1},
        {"negative start is 0", "n\r\n", -3, -8, -1, -1, {{"n", "h1", "h2"}, {"a", "b", "c"}, {"d", "e", "f"}}, 1},
    };
    for (const Case& c : cases) {
        G grid(3, 3);
        Fill(grid, start);
        EXPECT_EQ(grid.ImportCellsFromText(c.Text, '\t', c.L, c.T, c.R, c.B), c.Written) << c.Name;
        EXPECT_EQ(CellsOf(grid), c.After) << c.Name;
    }
    G grid(2, 2);
    std::istringstream stream("p\tq\t\r\n");
    stream.seekg(0, std::ios::end);
    EXPECT_EQ(grid.ImportCellsFromText(StreamText(stream), '\t', -1, -1, -1, -1), 2)
        << "a stream is read from its start";
}

class GridEditorTest : public ::testing::Test {
protected:
    GridEditorTest() : Grid(3, 3)
    {
        Fill(Grid, {{"h0", "h1", "h2"}, {"a", "b", "c"}, {"d", "e", "f"}});
        Grid.SetColEditable(1, TEditSetting::No);
        Grid.OnValidateEdit = [this](TObject*, int col, int row, bool& accept) {
            Events.push_back(Format("validate %d,%d %s", col, row, Grid.Cells(col, row).c_str()));
            accept = Grid.Cells(col, row) != "bad";
        };
        Grid.OnAfterEdit = [this](TObject*, int col, int row) { Events.push_back(Format("after %d,%d", col, row)); };
        Grid.OnCancelEdit = [this](TObject*, int col, int row) { Events.push_back(Format("cancel %d,%d", col, row)); };
        Grid.OnFocusNextControl = [this](TObject*) { Events.push_back("focus next"); };
        Grid.OnFocusGrid = [this](TObject*) { Events.push_back("focus grid"); };
    }
    void Type(const std::string& text)
    {
        for (char c : text)
            Grid.KeyPress(c);
    }
    TStringAlignGrid Grid;
    std::vector<std::string> Events;
};

TEST_F(GridEditorTest, StartKeys)
{
    struct Case {
        const char* Name;
        std::function<bool(G&)> Start;
        bool Opens;
        std::string Text;
        size_t SelLength;
    };
    const Case cases[] = {
        {"printable replaces", [](G& g) { return g.KeyPress('Z'); }, true, "Z", 0},
        {"high byte is printable", [](G& g) { return g.KeyPress('\xE9'); }, true, "\xE9", 0},
        {"backspace empties", [](G& g) { return g.KeyPress('\b'); }, true, "", 0},
        {"Enter selects all", [](G& g) { return g.KeyDown(Vk::Return, 0); }, true, "a", 1},
        {"F2 selects all", [](G& g) { return g.KeyDown(Vk::F2, 0); }, true, "a", 1},
        {"click on the current cell", [](G& g) { return g.ClickCell(0, 1), true; }, true, "a", 1},
        {"control character", [](G& g) { return !g.KeyPress('\x01'); }, false, "a", 0},
        {"TAB", [](G& g) { return !g.KeyPress('\t'); }, false, "a", 0},
        {"click on another cell", [](G& g) { return g.ClickCell(2, 1), true; }, false, "c", 0},
    };
    for (const Case& c : cases) {
        G& g = Grid;
        g.SetCells(0, 1, "a");
        g.SetCurrentCell(0, 1);
        EXPECT_TRUE(c.Start(g)) << c.Name;
        EXPECT_EQ(g.EditorMode(), c.Opens) << c.Name;
        EXPECT_EQ(g.EditorText(), c.Text) << c.Name;
        EXPECT_EQ(g.Editor().SelLength(g.EditorText()), c.SelLength) << c.Name;
        g.CancelEdit();
    }
    Grid.SetCurrentCell(1, 1);
    EXPECT_FALSE(Grid.KeyPress('x'));
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_FALSE(Grid.EditorMode()) << "a read-only cell opens no editor";
    EXPECT_EQ(Grid.Cells(1, 1), "b");
}

TEST_F(GridEditorTest, EnterMovesOnOnlyWhenAutoEditIsOn)
{
    Type("x");
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_FALSE(Grid.EditorMode());
    EXPECT_EQ(Grid.Col(), 0);
    Grid.AutoEditNextCell = true;
    Grid.NextCellEdit = TNextCellEdit::nc_downright;
    Type("y");
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_TRUE(Grid.EditorMode());
    EXPECT_EQ(Grid.Col(), 0);
    EXPECT_EQ(Grid.Row(), 2) << "down first";
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_EQ(Grid.Col(), 2) << "column 1 is read-only";
    EXPECT_EQ(Grid.Row(), 1);
    Grid.SetCurrentCell(2, 2);
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_TRUE(Grid.EditorMode()) << "Enter opens";
    Grid.KeyDown(Vk::Return, 0);
    EXPECT_FALSE(Grid.EditorMode()) << "lc_stop: the last cell";
    EXPECT_EQ(Grid.Row(), 2);
    EXPECT_EQ(Events.back(), "after 2,2");
}

TEST_F(GridEditorTest, MovingAwayValidatesAndARejectionKeepsTheCell)
{
    Type("bad");
    EXPECT_FALSE(Grid.SetCurrentCell(2, 2));
    EXPECT_TRUE(Grid.EditorMode());
    EXPECT_EQ(Grid.Col(), 0);
    EXPECT_EQ(Grid.Row(), 1);
    EXPECT_EQ(Grid.Editor().SelLength(Grid.EditorText()), 3) << "reopened with the text selected";
    Grid.KeyDown(Vk::Down, 0);
    EXPECT_EQ(Grid.Row(), 1);
    Grid.KeyDown(Vk::Escape, 0);
    EXPECT_FALSE(Grid.EditorMode());
    EXPECT_EQ(Grid.Cells(0, 1), "bad") << "the rejected text became the kept text";
    Type("x");
    Grid.KeyDown(Vk::Escape, 0);
    EXPECT_EQ(Grid.Cells(0, 1), "bad") << "Escape puts the kept text back";
    EXPECT_EQ(Events.back(), "cancel 0,1") << "without validation";
    Events.clear();

    Grid.KeyDown(Vk::F2, 0);
    Grid.SetEditorText("good", 4, 0);
    Grid.KeyDown(Vk::Down, 0);
    EXPECT_FALSE(Grid.EditorMode());
    EXPECT_EQ(Grid.Row(), 2);
    EXPECT_EQ(Events, (std::vector<std::string>{"validate 0,1 good", "after 0,1"})) << "no automatic move";
}

TEST_F(GridEditorTest, FocusLossValidatesAndARejectionTakesTheFocusBack)
{
    Grid.FocusLost();
    EXPECT_TRUE(Events.empty());
    Type("bad");
    Grid.FocusLost();
    EXPECT_TRUE(Grid.EditorMode());
    EXPECT_EQ(Events, (std::vector<std::string>{"validate 0,1 bad", "focus grid"}));
    Grid.SetEditorText("ok", 2, 0);
    Grid.FocusLost();
    EXPECT_FALSE(Grid.EditorMode());
    EXPECT_EQ(Events.back(), "after 0,1");
}

TEST_F(GridEditorTest, TabsAndLineBreaksGoInAsBlanks)
{
    Type("a\tb\nc");
    EXPECT_FALSE(Grid.KeyPress('\r')) << "Enter's character is not taken";
    EXPECT_EQ(Grid.EditorText(), "a b c");
    Grid.SetEditorText("x\ty\r\nz", 1, 2);
    EXPECT_EQ(Grid.EditorText(), "x y  z");
    EXPECT_EQ(Grid.Editor().SelStart(Grid.EditorText()), 1u);
    EXPECT_EQ(Grid.Editor().SelLength(Grid.EditorText()), 2u);
    Grid.SetEditorText("short", 40, 9);
    EXPECT_EQ(Grid.Editor().SelStart(Grid.EditorText()), 5u) << "a selection past the text is clamped";
    EXPECT_EQ(Grid.Editor().SelLength(Grid.EditorText()), 0u);
    Type("\b\b");
    EXPECT_EQ(Grid.EditorText(), "sho");
}

TEST_F(GridEditorTest, ClipboardKeysWorkOnTheCellOnlyWithoutAnEditor)
{
    TFakeClipboard clipboard;
    Grid.Clipboard = &clipboard;
    int edits = 0;
    Grid.OnClipboardEdit = [&](TObject*, int, int) { ++edits; };
    Grid.SetCurrentCell(1, 1); // read-only by typing, not by the clipboard
    EXPECT_TRUE(Grid.KeyDown(Vk::Insert, ssCtrl));
    EXPECT_EQ(clipboard.Bytes, "b\t\r\n");
    EXPECT_EQ(edits, 0);

    clipboard.FailSet = true;
    EXPECT_TRUE(Grid.KeyDown(Vk::Delete, ssShift));
    EXPECT_EQ(Grid.Cells(1, 1), "b") << "no copy, no cut";
    EXPECT_EQ(edits, 0);
    clipboard.FailSet = false;
    Grid.KeyDown(Vk::Delete, ssShift);
    EXPECT_EQ(Grid.Cells(1, 1), "");
    EXPECT_EQ(edits, 1);

    struct Case {
        std::string Bytes;
        std::string Cell;
    };
    const Case pastes[] = {
        {"USB\tLSB\r\nAM", "USB"},
        {std::string("ab\0cd", 5), "ab"},
        {"xy", "xy"},
        {"\r\nzz", ""},
    };
    for (const Case& paste : pastes) {
        clipboard.Bytes = paste.Bytes;
        Grid.SetCells(1, 1, "");
        EXPECT_TRUE(Grid.KeyDown(Vk::Insert, ssShift));
        EXPECT_EQ(Grid.Cells(1, 1), paste.Cell);
    }
    EXPECT_EQ(CellsOf(Grid)[2], (std::vector<std::string>{"d", "e", "f"})) << "nothing but the cell changed";
    EXPECT_EQ(Grid.RowCount(), 3);
    EXPECT_EQ(edits, 4) << "the empty first line wrote nothing";

    Grid.SetCurrentCell(0, 1);
    Grid.KeyDown(Vk::F2, 0);
    EXPECT_FALSE(Grid.KeyDown(Vk::Insert, ssShift)) << "the edit box pastes for itself";
    EXPECT_FALSE(Grid.KeyDown(Vk::Delete, ssShift));
    EXPECT_EQ(Grid.EditorText(), "a");
}

} // namespace
