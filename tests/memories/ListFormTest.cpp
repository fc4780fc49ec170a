// The memory list window through its real class on the headless host: its
// design, the edit box over the grid, keys and shortcuts, the buttons against
// the recording rig server, focus, clipboard, scrolling and painting.
#include <gtest/gtest.h>

#include "tests/memories/GridSupport.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/ListFormBench.h"

namespace {

using Row = std::vector<std::string>;
using Lines = std::vector<std::string>;
using namespace RigParams;
using MemoryTests::FileOf;
using MemoryTests::kHeaderLine;

std::vector<Row> Numbered(int count)
{
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({"Memory " + std::to_string(i), "CW", std::to_string(7000000 + i * 1000), ""});
    return rows;
}

class ListFormTest : public ::testing::Test, protected TListFormBench<THeadlessHost> {
protected:
    ListFormTest() { Main->SetBounds(370, 113, 229, 103); }

    void MakeShown(const std::string& file = {})
    {
        Make(file);
        List->Show();
    }

    TStringAlignGridControl& Control() { return *List->MemoryList; }
    Row RowOf(int row)
    {
        Row cells;
        for (int col = 0; col < Grid().ColCount(); ++col)
            cells.push_back(Grid().Cells(col, row));
        return cells;
    }
    // The middle of a cell, in the grid's coordinates.
    TPoint At(int col, int row)
    {
        const TRect r = Control().CellRect(col, row);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    void ClickCell(int col, int row)
    {
        const TPoint p = At(col, row);
        Host.Click(Control(), p.X, p.Y);
    }
    // A cell's rectangle on the form, where the edit box goes.
    TRect OnForm(int col, int row) { return Control().CellRect(col, row).Offset(2, 22); }
    const THeadlessHost::TEditBox& Box()
    {
        const THeadlessHost::TEditBox* box = Host.EditBox();
        if (!box)
            throw std::runtime_error("no edit box");
        return *box;
    }
    std::vector<std::string> BoxTexts()
    {
        std::vector<std::string> texts;
        for (const auto& box : Host.MessageBoxes())
            texts.push_back(box.Text);
        return texts;
    }
};

TEST_F(ListFormTest, TheWindowAsDesigned)
{
    Make();
    EXPECT_FALSE(List->Visible()) << "made hidden";
    EXPECT_EQ(List->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(List->BoundsRect(), (TRect{370, 222, 370 + 535, 222 + 297}));
    EXPECT_EQ(List->Color(), clBlack);

    struct TPart {
        TControl* Control;
        TRect Bounds; // left, top, width, height
        const char* Caption;
        TColor Color;
    };
    const TPart parts[] = {
        {List->ListTitle, {2, 2, 531, 19}, "Memories", clBtnFace},
        {List->FlatSpeedButton1, {512, 2, 16, 15}, "X", TListForm::kTitleColor},
        {List->MemoryList, {2, 22, 531, 248}, "", TListForm::kFaceColor},
        {List->Panel1, {2, 270, 531, 25}, "", TListForm::kFaceColor},
        {List->FlatButton3, {5, 3, 60, 19}, "Add", clSilver},
        {List->FlatButton4, {69, 3, 60, 19}, "Remove", clSilver},
        {List->FlatButton1, {277, 3, 79, 19}, "Set", clSilver},
        {List->bSave, {365, 3, 79, 19}, "Save", clSilver},
        {List->FlatButton2, {453, 3, 75, 19}, "Close", clSilver},
    };
    for (const TPart& p : parts) {
        const TRect b = p.Bounds;
        EXPECT_EQ(p.Control->BoundsRect(), (TRect{b.Left, b.Top, b.Left + b.Right, b.Top + b.Bottom}))
            << p.Control->Name();
        EXPECT_EQ(p.Control->Caption(), p.Caption) << p.Control->Name();
        EXPECT_EQ(p.Control->Color(), p.Color) << p.Control->Name();
    }
    EXPECT_EQ(List->ListTitle->TitlebarColor(), TListForm::kTitleColor);
    EXPECT_EQ(List->ListTitle->Font().Style(), fsBold);
    EXPECT_EQ(List->FlatSpeedButton1->Hint(), "Close");
    EXPECT_TRUE(List->FlatButton1->Default());
    EXPECT_FALSE(List->bSave->Default());

    EXPECT_EQ(Control().DefaultRowHeight(), 20);
    const int widths[] = {336, 64, 64, 63};
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(Control().ColWidth(col), widths[col]) << "the last one fills the grid's width";
    EXPECT_FALSE(Reg.HasKey(TRegRoot::CurrentUser, "software\\Velkor\\MemoryWinPos")) << "never shown";
}

TEST_F(ListFormTest, AMemoryFileHeldElsewhereIsReportedAsTheWindowIsMadeAndSaveAsksFirst)
{
    Files.Unreadable["velkor.mem"] = "Access denied";
    Make();
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0].rfind("Cannot read the memory file velkor.mem: Access denied.", 0), 0u);
    EXPECT_FALSE(List->Visible());

    // "Save" asks; "No" writes nothing and leaves the file where it is.
    List->Show();
    Host.AnswerMessageBox(MsgBox::kIdNo);
    Host.Click(*List->bSave);
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts()[1].rfind("velkor.mem could not be read: Access denied.", 0), 0u);
    EXPECT_EQ(Files.Files.count("velkor.mem"), 0u);
    EXPECT_EQ(Files.Unreadable.count("velkor.mem"), 1u);
}

TEST_F(ListFormTest, TabGoesFromTheGridThroughTheButtonsInTheirOrder)
{
    MakeShown();
    EXPECT_EQ(List->ActiveControl(), List->MemoryList);
    const TControl* expected[] = {List->FlatButton1, List->FlatButton2, List->bSave,
                                  List->FlatButton3, List->FlatButton4, List->MemoryList};
    for (const TControl* control : expected) {
        Host.KeyDown(Vk::Tab);
        EXPECT_EQ(List->ActiveControl(), control) << control->Name();
    }
    Host.KeyDown(Vk::Tab, ssShift);
    EXPECT_EQ(List->ActiveControl(), List->FlatButton4) << "Shift+Tab goes back";

    // Enter on a focused button clicks it; the default button gets no other Enter.
    Host.KeyDown(Vk::Tab, ssShift);
    Host.KeyDown(Vk::Tab, ssShift);
    EXPECT_EQ(List->ActiveControl(), List->bSave);
    Host.KeyDown(Vk::Return);
    EXPECT_EQ(Files.Files["velkor.mem"], kHeaderLine + "\t\t\t\t\r\n");
}

TEST_F(ListFormTest, TheMenusAndTheirShortcuts)
{
    MakeShown(FileOf({{"Home", "DIGI", "7.074.000", ""}}));
    Host.MouseDown(Control(), TMouseButton::mbRight, 50, 31);
    Host.MouseUp(Control(), TMouseButton::mbRight, 50, 31);
    ASSERT_EQ(Host.Popups().size(), 1u);
    EXPECT_EQ(Host.Popups()[0].Menu, "PopupMenu1");
    EXPECT_EQ(Host.Popups()[0].Items,
              (Lines{"Add record\tIns", "Delete record\tCtrl+Del", "-", "Sort by name\tCtrl+N",
                     "Sort by mode\tCtrl+M", "Sort by FreqA\tCtrl+A", "Sort by FreqB\tCtrl+B"}));

    Host.ChoosePopupItem("CW-R");
    Host.DoubleClick(Control(), At(1, 1).X, At(1, 1).Y);
    ASSERT_EQ(Host.Popups().size(), 2u);
    EXPECT_EQ(Host.Popups()[1].Menu, "ModeMenu");
    EXPECT_EQ(Host.Popups()[1].Items, (Lines{"CW", "USB", "LSB", "DIGI", "AM", "FM", "CW-R", "DIGI-R"}));
    EXPECT_EQ(Host.Popups()[1].Point, Control().ClientToScreen(At(1, 1))) << "at the mouse";
    EXPECT_EQ(Grid().Cells(1, 1), "CW-R");
    EXPECT_FALSE(Grid().EditorMode()) << "Mode is not edited by typing";

    Host.DoubleClick(Control(), At(0, 1).X, At(0, 1).Y);
    EXPECT_EQ(Host.Popups().size(), 2u) << "no mode popup over the caption";
}

TEST_F(ListFormTest, TheEditBoxFollowsTheEditorFromCellToCell)
{
    MakeShown();
    List->AddMemory("New freq", "USB", 14250000, -1);
    EXPECT_EQ(RowOf(1), (Row{"New freq", "USB", "14250000", "-1"}));
    // The box over the caption, the text all selected, the focus in it; its
    // top is where the cell's text is painted (text 11 pixels high here).
    EXPECT_EQ(Box().Bounds, (TRect{2, 22 + 21 + 4, 2 + 336, 22 + 41}));
    EXPECT_EQ(Box().Text, "New freq");
    EXPECT_EQ(Box().SelStart, 0u);
    EXPECT_EQ(Box().SelLength, 8u);
    EXPECT_TRUE(Box().Focused);
    EXPECT_EQ(Box().Align, TEditAlign::Left);

    Host.Type("Home");
    EXPECT_EQ(Grid().Cells(0, 1), "Home") << "the cell holds what the box shows";
    Host.KeyDown(Vk::Left);
    Host.KeyDown(Vk::Delete);
    EXPECT_EQ(Box().Text, "Hom") << "caret keys and Delete are the box's";
    Host.Type("e!");
    Host.KeyDown(Vk::Return);
    EXPECT_EQ(Grid().Cells(0, 1), "Home!");

    // On to VFO A: a new box, centred like the column.
    EXPECT_EQ(Grid().Col(), 2);
    EXPECT_EQ(Box().Bounds.Left, OnForm(2, 1).Left);
    EXPECT_EQ(Box().Bounds.Right, OnForm(2, 1).Right);
    EXPECT_EQ(Box().Align, TEditAlign::Center);
    EXPECT_EQ(Box().Text, "14250000");
    EXPECT_EQ(Box().SelLength, 8u);
    Host.KeyDown(Vk::Return);
    EXPECT_EQ(Grid().Cells(2, 1), "14.250.000") << "an unchanged frequency is reformatted";

    // VFO B: "-1" is rejected; the box stays with the text all selected again.
    EXPECT_EQ(Grid().Col(), 3);
    Host.KeyDown(Vk::End);
    EXPECT_EQ(Box().SelLength, 0u);
    const int made = Host.EditBoxesMade();
    Host.KeyDown(Vk::Return);
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_EQ(Grid().Col(), 3);
    EXPECT_EQ(Host.EditBoxesMade(), made) << "the same box";
    EXPECT_EQ(Box().Text, "-1");
    EXPECT_EQ(Box().SelLength, 2u);
    Host.KeyDown(Vk::Escape);
    EXPECT_EQ(Host.EditBox(), nullptr) << "Escape closes the box";
    EXPECT_EQ(Grid().Cells(3, 1), "-1");
    EXPECT_EQ(List->ActiveControl(), List->MemoryList);

    // A text pasted with a TAB keeps no TAB in the cell or the box.
    Host.KeyDown(Vk::F2);
    Host.PasteIntoEditBox("7\t050");
    EXPECT_EQ(Grid().Cells(3, 1), "7 050");
    EXPECT_EQ(Box().Text, "7 050");

    // Typing on a cell without the box opens it with that key.
    Host.KeyDown(Vk::Escape);
    Host.KeyDown(Vk::Home);
    Host.Type("X");
    EXPECT_EQ(Box().Text, "X");
    EXPECT_EQ(Box().SelStart, 1u);
    EXPECT_EQ(Grid().Cells(0, 1), "X");
}

TEST_F(ListFormTest, ContextMenuShortcutsBeatTheEditBox)
{
    struct TCase {
        unsigned Key;
        TShiftState Shift;
        std::vector<Row> After;
        const char* Question; // nullptr: none
    };
    const std::vector<Row> start = {{"b", "USB", "7", "-1"}, {"a", "CW", "14", ""}, {"c", "AM", "3", "0"}};
    const TCase cases[] = {
        {Vk::Insert, 0, {start[0], start[1], start[2], {"", "", "0", "0"}}, nullptr},
        {Vk::Delete, ssCtrl, {start[1], start[2]}, "Do you really want to delete selected record?"},
        {'N', ssCtrl, {start[1], start[0], start[2]}, nullptr},
        {'M', ssCtrl, {start[2], start[1], start[0]}, nullptr},
        {'A', ssCtrl, {start[1], start[2], start[0]}, nullptr},
        {'B', ssCtrl, {start[1], start[0], start[2]}, nullptr},
    };
    for (const TCase& c : cases) {
        Files.Files.clear();
        MakeShown(FileOf(start));
        Host.KeyDown(Vk::F2); // the box open on the first caption
        ASSERT_TRUE(Box().Focused);
        const size_t boxes = Host.MessageBoxes().size();
        Host.KeyDown(c.Key, c.Shift);
        std::vector<Row> rows;
        for (int row = 1; row < Grid().RowCount(); ++row)
            rows.push_back(RowOf(row));
        EXPECT_EQ(rows, c.After) << ShortCutToText(c.Key | (c.Shift ? scCtrl : 0));
        if (c.Question) {
            ASSERT_EQ(Host.MessageBoxes().size(), boxes + 1);
            EXPECT_EQ(Host.MessageBoxes().back().Text, c.Question);
        }
        delete List;
        List = nullptr;
    }
}

TEST_F(ListFormTest, SetSendsTheModeThenTheFrequenciesAndStopsAtOneThatDoesNotConvert)
{
    struct TCase {
        Row Memory;
        Lines Puts;
        const char* Error; // nullptr: none
    };
    auto mode = [](const char* name) { return Format("put Mode %d", ModeFlag(name)); };
    const TCase cases[] = {
        {{"a", "USB", "14.250.000", "-1"}, {mode("USB"), "put FreqA 14250000", "put FreqB -1"}, nullptr},
        {{"b", "CW", "7030000", " "}, {mode("CW"), "put FreqA 7030000"}, nullptr},
        {{"c", "", "3,5", "7.1"}, {"put FreqA 35", "put FreqB 71"}, nullptr},
        {{"d", "DIGI", "", "7050000"}, {mode("DIGI")}, "'' is not a valid integer value."},
        {{"e", "AM", "7.074,000", "1x"}, {mode("AM"), "put FreqA 7074000"}, "'1x' is not a valid integer value."},
    };
    for (const TCase& c : cases) {
        Files.Files.clear();
        MakeShown(FileOf({c.Memory}));
        Rig->ClearLog();
        const size_t boxes = Host.MessageBoxes().size();
        Host.Click(*List->FlatButton1, 5, 5);
        EXPECT_EQ(Rig->Puts(), c.Puts) << c.Memory[0];
        if (c.Error) {
            ASSERT_EQ(Host.MessageBoxes().size(), boxes + 1) << c.Memory[0];
            EXPECT_EQ(Host.MessageBoxes().back().Text, c.Error);
            EXPECT_EQ(Host.MessageBoxes().back().Caption, "Velkor");
        } else {
            EXPECT_EQ(Host.MessageBoxes().size(), boxes) << c.Memory[0];
        }
        EXPECT_FALSE(List->MemoryChanged());
        EXPECT_TRUE(List->Visible()) << "Set leaves the window open";
        delete List;
        List = nullptr;
    }
}

TEST_F(ListFormTest, LeavingTheGridEndsTheEditAndARejectedOneTakesTheFocusBack)
{
    MakeShown(FileOf({{"Home", "DIGI", "7.074.000", ""}}));
    ClickCell(3, 1);
    Host.Type("abc");
    Rig->ClearLog();
    Host.Click(*List->FlatButton1, 5, 5); // "Set"
    EXPECT_EQ(List->ActiveControl(), List->MemoryList) << "the grid took the focus back";
    EXPECT_TRUE(Rig->Log.empty()) << "and the press on Set was dropped";
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_TRUE(Box().Focused);
    EXPECT_EQ(Box().Text, "abc");

    Host.KeyDown(Vk::Back); // the box's Backspace is a character
    Host.Type("\b\b\b14074000");
    EXPECT_EQ(Box().Text, "14074000");
    Host.KeyDown(Vk::Tab);
    EXPECT_EQ(List->ActiveControl(), List->FlatButton1) << "Tab leaves the grid";
    EXPECT_EQ(Host.EditBox(), nullptr);
    EXPECT_EQ(Grid().Cells(3, 1), "14.074.000") << "validated on the way out";
    EXPECT_TRUE(List->MemoryChanged());

    // After the last cell of the last row the focus goes to "Set".
    Host.KeyDown(Vk::Tab, ssShift);
    Host.KeyDown(Vk::Return);
    Host.KeyDown(Vk::Return);
    EXPECT_EQ(List->ActiveControl(), List->FlatButton1);
    EXPECT_EQ(Grid().RowCount(), 2) << "no row added";
    Rig->ClearLog();
    Host.KeyDown(Vk::Return);
    EXPECT_EQ(Rig->Puts(), (Lines{Format("put Mode %d", ModeFlag("DIGI")), "put FreqA 7074000", "put FreqB 14074000"}));
}

TEST_F(ListFormTest, ClipboardKeysUseTheHostsClipboard)
{
    MakeShown(FileOf({{"Home", "USB", "7.074.000", ""}}));
    ClickCell(1, 1);
    Host.KeyDown(Vk::Insert, ssCtrl);
    EXPECT_EQ(Host.ClipboardBytes(), std::string("USB\t\r\n\0", 7));
    EXPECT_FALSE(List->MemoryChanged());

    ClickCell(0, 1);
    Host.ClipboardFails = true;
    Host.KeyDown(Vk::Delete, ssShift);
    EXPECT_EQ(Grid().Cells(0, 1), "Home") << "no cut without a copy";
    Host.ClipboardFails = false;
    Host.KeyDown(Vk::Delete, ssShift);
    EXPECT_EQ(Grid().Cells(0, 1), "");
    EXPECT_EQ(Host.ClipboardBytes(), std::string("Home\t\r\n\0", 8));

    Host.SetClipboardBytes(std::string("LSB\tx\r\nmore\0junk", 16));
    ClickCell(1, 1);
    Host.KeyDown(Vk::Insert, ssShift);
    EXPECT_EQ(RowOf(1), (Row{"", "LSB", "7.074.000", ""}));
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_TRUE(List->MemoryChanged());
}

TEST_F(ListFormTest, ARightClickKeepsTheCurrentRowWhichDeleteRecordRemoves)
{
    MakeShown(FileOf(Numbered(3)));
    Host.MouseDown(Control(), TMouseButton::mbRight, At(0, 3).X, At(0, 3).Y);
    Host.MouseUp(Control(), TMouseButton::mbRight, At(0, 3).X, At(0, 3).Y);
    EXPECT_EQ(Grid().Row(), 1);
    Host.ChoosePopupItem("Delete record");
    Host.AnswerMessageBox(MsgBox::kIdNo);
    Host.MouseUp(Control(), TMouseButton::mbRight, At(0, 3).X, At(0, 3).Y);
    EXPECT_EQ(Grid().RowCount(), 4) << "No deletes nothing";
    EXPECT_FALSE(List->MemoryChanged());
    Host.ChoosePopupItem("Delete record");
    Host.MouseUp(Control(), TMouseButton::mbRight, At(0, 3).X, At(0, 3).Y);
    EXPECT_EQ(RowOf(1)[0], "Memory 2");
    EXPECT_EQ(Grid().RowCount(), 3);
    EXPECT_TRUE(List->MemoryChanged());
    EXPECT_EQ(BoxTexts(), (Lines{"Do you really want to delete selected record?",
                                 "Do you really want to delete selected record?"}));
    const auto& box = Host.MessageBoxes().back();
    EXPECT_EQ(box.Caption, "Confirm");
    EXPECT_EQ(box.Style, MsgBox::kYesNo | MsgBox::kIconQuestion);
}

// Calls painting text, in the grid's coordinates.
std::vector<TCanvasCall> GridTexts(const std::vector<TCanvasCall>& calls)
{
    std::vector<TCanvasCall> texts;
    for (const TCanvasCall& call : calls)
        if (call.Kind == TCanvasCall::TextOut && call.Origin == TPoint{2, 22})
            texts.push_back(call);
    return texts;
}

TEST_F(ListFormTest, PaintingShowsTheRowsThatFitAndTheCurrentCellInTeal)
{
    MakeShown(FileOf(Numbered(30)));
    const std::vector<TCanvasCall> calls = Host.Paint(*List);
    const std::vector<TCanvasCall> texts = GridTexts(calls);
    // The header and eleven rows (the last one cut): caption, mode, VFO A.
    ASSERT_EQ(texts.size(), 4u + 11u * 3u);
    EXPECT_EQ(texts[4].Text, "Memory 1");
    EXPECT_EQ(texts.back().Text, "7011000");
    EXPECT_EQ(texts.back().Clip.Bottom, 22 + 248) << "cut at the grid's foot";
    EXPECT_EQ(texts[4].Font.Color(), clWhite) << "the current cell's text";
    EXPECT_EQ(texts[7].Font.Color(), clBlack);
    EXPECT_EQ(texts[7].Font.Name(), "MS Sans Serif");
    EXPECT_EQ(texts[7].Font.Height(), -11);
    bool teal = false;
    for (const TCanvasCall& call : calls)
        teal |= call.Kind == TCanvasCall::FillRect && call.BrushColor == clTeal && call.Rect == TRect{0, 21, 336, 41};
    EXPECT_TRUE(teal) << "the current cell, 20 pixels high below the header's 20 and a line";

    // The scroll bar takes 16 pixels from the stretched last column.
    EXPECT_TRUE(Control().ScrollBarVisible());
    EXPECT_EQ(Control().ColWidth(3), 63 - 16);
    EXPECT_EQ(Control().VisibleRowCount(), 10);

    // Ten memories fit: no scroll bar.
    delete List;
    List = nullptr;
    MakeShown(FileOf(Numbered(10)));
    EXPECT_FALSE(Control().ScrollBarVisible());
    EXPECT_EQ(Control().ColWidth(3), 63);
    EXPECT_EQ(GridTexts(Host.Paint(*List)).size(), 4u + 10u * 3u);
}

TEST_F(ListFormTest, ScrollingByWheelKeysAndScrollBar)
{
    MakeShown(FileOf(Numbered(30)));
    const int bar = 531 - TStringAlignGridControl::kScrollBarWidth + 8;
    struct TStep {
        const char* What;
        std::function<void()> Do;
        int TopRow;
        int Row;
    };
    const std::vector<TStep> steps = {
        {"wheel one notch down", [&] { Host.MouseWheel(Control(), -1, 50, 50); }, 4, 1},
        {"wheel far down", [&] { Host.MouseWheel(Control(), -20, 50, 50); }, 21, 1},
        {"wheel up", [&] { Host.MouseWheel(Control(), 2, 50, 50); }, 15, 1},
        {"Down into view", [&] { Host.KeyDown(Vk::Down); }, 2, 2},
        {"Ctrl+End", [&] { Host.KeyDown(Vk::End, ssCtrl); }, 21, 30},
        {"PgUp", [&] { Host.KeyDown(Vk::Prior); }, 11, 20},
        {"up arrow of the bar", [&] { Host.Click(Control(), bar, 5); }, 10, 20},
        {"track below the thumb", [&] { Host.Click(Control(), bar, 200); }, 20, 20},
        {"up arrow held", [&] {
             Host.MouseDown(Control(), TMouseButton::mbLeft, bar, 5);
             Host.Advance(400 + 3 * 50);
             Host.MouseUp(Control(), TMouseButton::mbLeft, bar, 5);
             Host.Advance(500);
         }, 15, 20},
        // The track is 216 pixels, the thumb a third of it.
        {"thumb dragged to the top", [&] {
             Host.MouseDown(Control(), TMouseButton::mbLeft, bar, 150);
             Host.MouseMove(Control(), bar, 0, ssLeft);
             Host.MouseUp(Control(), TMouseButton::mbLeft, bar, 0);
         }, 1, 20},
        {"thumb dragged to the foot", [&] {
             Host.MouseDown(Control(), TMouseButton::mbLeft, bar, 50);
             Host.MouseMove(Control(), bar, 300, ssLeft);
             Host.MouseUp(Control(), TMouseButton::mbLeft, bar, 300);
         }, 21, 20},
        {"Ctrl+Home", [&] { Host.KeyDown(Vk::Home, ssCtrl); }, 1, 1},
    };
    for (const TStep& step : steps) {
        step.Do();
        EXPECT_EQ(Control().TopRow(), step.TopRow) << step.What;
        EXPECT_EQ(Grid().Row(), step.Row) << step.What;
    }
    EXPECT_TRUE(Host.Popups().empty());

    // A quick second press on the bar scrolls again and opens no mode popup.
    Host.KeyDown(Vk::Right);
    ASSERT_EQ(Grid().Col(), 1);
    Host.DoubleClick(Control(), bar, 240);
    EXPECT_EQ(Control().TopRow(), 3);
    EXPECT_TRUE(Host.Popups().empty());
    Host.KeyDown(Vk::Left);
    Host.KeyDown(Vk::Home, ssCtrl);

    // The box goes with its cell, and hides while the cell is scrolled away.
    Host.KeyDown(Vk::F2);
    EXPECT_EQ(Box().Bounds.Top, 22 + 21 + 4);
    Host.MouseWheel(Control(), -1, 50, 50);
    EXPECT_TRUE(Box().Bounds.IsEmpty());
    Host.MouseWheel(Control(), 1, 50, 50);
    EXPECT_EQ(Box().Bounds.Top, 22 + 21 + 4);
}

TEST_F(ListFormTest, ClosingHidesAndStoresThePlacementOnly)
{
    MakeShown();
    List->AddMemory("", "", 0, 0);
    Host.Click(*List->FlatButton2, 5, 5);
    EXPECT_FALSE(List->Visible());
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "nothing asked";
    EXPECT_FALSE(Files.Files.count("velkor.mem")) << "nothing saved";
    const auto visible = Reg.Value(TRegRoot::CurrentUser, "software\\Velkor\\MemoryWinPos", "Visible");
    ASSERT_TRUE(visible);
    EXPECT_EQ(visible->Data, "0");
    EXPECT_EQ(Reg.Value(TRegRoot::CurrentUser, "software\\Velkor\\MemoryWinPos", "NormPos")->Data,
              "370,222,905,519");

    List->Show();
    Host.Click(*List->FlatSpeedButton1, 5, 5);
    EXPECT_FALSE(List->Visible()) << "the title bar's X too";
    EXPECT_EQ(RowOf(1), (Row{"", "", "0", "0"})) << "the contents survive hiding";
}

} // namespace
