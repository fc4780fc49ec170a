// The memory list window on real windows: painted through GDI with its
// pixels checked and pictures saved, the grid's editor a real EDIT control
// driven by window messages, the context menu's shortcuts taken in the message
// loop before the edit box sees them, and the system's clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "tests/memories/GridSupport.h"
#include "tests/support/ListFormBench.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/win32/Win32Host.h"

namespace {

using Row = std::vector<std::string>;
using MemoryTests::FileOf;

const std::vector<Row> kDozen = {
    {"Home", "DIGI", "7.074.000", ""},
    {"New freq", "USB", "14250000", "-1"},
    {"40 m CW calling", "CW", "7.030.000", ""},
    {"20 m FT8", "DIGI", "14.074.000", ""},
    {"Split DX", "USB", "14195000", "14.225.000"},
    {"Net on Sunday", "LSB", "3.760.000", ""},
    {"Beacon", "CW-R", "28.200.000", ""},
    {"10 m FM repeater", "FM", "29.620.000", "29.520.000"},
    {"AM window", "AM", "3.885.000", ""},
    {"VFO B only", "USB", "-1", "21.300.000"},
    {"30 m", "DIGI-R", "10136000", ""},
    {"Contest", "CW", "3.510.000", "0"},
};

class ListFormWin32Test : public ::testing::Test, protected TListFormBench<TWin32Host> {
protected:
    ListFormWin32Test()
    {
        Main->SetBorderStyle(TFormBorderStyle::bsNone);
        Main->SetBounds(370, 20, 229, 103);
        CreateDirectoryW(VELKOR_SCREENSHOT_DIR, nullptr);
    }
    ~ListFormWin32Test() override
    {
        delete std::exchange(List, nullptr);
        SetKeys({});
    }

    void Make(const std::vector<Row>& rows) { TListFormBench::Make(FileOf(rows)); }
    HWND Window() { return TWin32Host::WindowOf(*List); }
    HWND Box() { return FindWindowExW(Window(), nullptr, L"Edit", nullptr); }
    // The box's place in the window.
    TRect BoxRect()
    {
        RECT r{};
        GetWindowRect(Box(), &r);
        MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right, r.bottom};
    }
    std::string BoxText()
    {
        wchar_t text[256]{};
        GetWindowTextW(Box(), text, 256);
        return std::string(text, text + wcslen(text));
    }
    void Pump() { App.ProcessMessages(); }
    // The focus once the window has had its focus messages: under load they
    // may come a pass of the loop later than the show that moved it.
    HWND SettledFocus(const std::function<bool(HWND)>& settled)
    {
        for (int pass = 0; pass < 200 && !settled(GetFocus()); ++pass) {
            Sleep(10);
            Pump();
        }
        return GetFocus();
    }
    HWND SettledFocusIn(HWND expected) { return SettledFocus([&](HWND focus) { return focus == expected; }); }
    // Keys as the loop gets them from the keyboard: posted to the window with
    // the keyboard focus, the modifiers held in the thread's key state.
    void SetKeys(std::initializer_list<int> held)
    {
        BYTE state[256]{};
        for (int key : held)
            state[key] = 0x80;
        SetKeyboardState(state);
    }
    void PressKey(WPARAM key, std::initializer_list<int> held = {})
    {
        SetKeys(held);
        HWND focus = GetFocus();
        PostMessageW(focus ? focus : Window(), WM_KEYDOWN, key, 1);
        Pump();
        SetKeys({});
    }
    void TypeInBox(const std::string& text)
    {
        for (char c : text)
            SendMessageW(Box(), WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    void Save(const TFormBitmap& bitmap, const wchar_t* name)
    {
        EXPECT_TRUE(bitmap.Save(std::wstring(VELKOR_SCREENSHOT_DIR) + L"\\" + name)) << "saving a picture";
    }
};

TColor System(int index) { return static_cast<TColor>(GetSysColor(index)); }

TEST_F(ListFormWin32Test, ADozenMemoriesAsTheOperatorSeesThem)
{
    Make(kDozen);
    List->Show();
    Grid().SetCurrentCell(0, 3);
    List->MemoryList->ModelChanged();
    Pump();
    TFormBitmap bitmap(*List);
    ASSERT_TRUE(bitmap.Valid());
    Save(bitmap, L"list-dozen.bmp");
    EXPECT_EQ(bitmap.Width(), 535);
    EXPECT_EQ(bitmap.Height(), 297);

    // Rows are 20 pixels and a line: the header from 22, row r from 22 + 21 r.
    const int row3 = 22 + 3 * 21;
    struct TCase {
        int X, Y;
        TColor Color;
        const char* What;
    };
    const TCase cases[] = {
        {1, 1, clBlack, "the window around everything"},
        {3, 3, TListForm::kTitleColor, "title bar"},
        {5, 22, clWhite, "header cell, raised"},
        {20, 30, System(COLOR_BTNFACE), "header cell's face"},
        {330, 22 + 21 + 10, TListForm::kFaceColor, "a cell"},
        {330, row3 + 10, clTeal, "the current cell"},
        {2 + 336, 22 + 21 + 10, clSilver, "the line after the caption column"},
        {300, 22 + 41, clSilver, "the line below row 1"},
        {2 + 531 - 16 + 2, 22 + 3, System(COLOR_BTNFACE), "scroll bar: up arrow's face"},
        {2 + 531 - 16 + 7, 22 + 7, clGray, "scroll bar: up arrow, grey at the top"},
        {2 + 531 - 16 + 8, 22 + 15, clBlack, "scroll bar: up arrow's bottom edge"},
        {200, 272, TListForm::kFaceColor, "the buttons' panel"},
        {2 + 277, 273, clGray, "Set: outer frame"},
        {2 + 278, 274, clGray, "Set: second pixel of the default button's frame"},
        {2 + 365, 273, clGray, "Save: frame"},
        {2 + 366, 274, clSilver, "Save: face inside its one-pixel frame"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(bitmap.Pixel(c.X, c.Y), c.Color) << c.What << " at " << c.X << "," << c.Y;
    EXPECT_GT(bitmap.Count({2, row3, 2 + 336, row3 + 20}, clWhite), 20) << "white text in the teal cell";
    EXPECT_GT(bitmap.Count({2, 22 + 21, 2 + 336, 22 + 41}, clBlack), 20) << "black text in the others";
    EXPECT_EQ(bitmap.Count({2 + 468, 22 + 21, 2 + 531 - 16, 22 + 248}, clTeal), 0);
    // The scroll bar's thumb: ten of twelve rows show.
    EXPECT_GT(bitmap.Count({2 + 531 - 16, 22 + 16, 2 + 531, 22 + 248 - 16}, System(COLOR_BTNFACE)), 16 * 100);
}

TEST_F(ListFormWin32Test, ManyRowsScrollAndTheEditBoxGoesWithItsCell)
{
    std::vector<Row> rows;
    for (int i = 1; i <= 500; ++i)
        rows.push_back({"Memory " + std::to_string(i), i % 2 ? "CW" : "USB", std::to_string(7000000 + 100 * i), ""});
    Make(rows);
    List->Show();
    Grid().SetCurrentCell(2, 250);
    List->MemoryList->ModelChanged();
    Pump();
    ASSERT_EQ(List->MemoryList->TopRow(), 241) << "the current row scrolled into view at the foot";
    PressKey(VK_F2);
    ASSERT_TRUE(Box()) << "F2 opens the edit box";
    EXPECT_EQ(GetFocus(), Box());
    EXPECT_EQ(BoxText(), "7025000");
    EXPECT_TRUE(GetWindowLongW(Box(), GWL_STYLE) & ES_CENTER) << "as the column";
    const TRect cell = List->MemoryList->CellRect(2, 250).Offset(2, 22);
    EXPECT_EQ(BoxRect().Left, cell.Left);
    EXPECT_EQ(BoxRect().Right, cell.Right);
    EXPECT_EQ(BoxRect().Bottom, cell.Bottom);
    EXPECT_GE(BoxRect().Top, cell.Top);
    TFormBitmap bitmap(*List);
    Save(bitmap, L"list-many.bmp");
    EXPECT_EQ(bitmap.Pixel(cell.Left + 2, cell.Top + 1), System(COLOR_WINDOW)) << "the cell around the box";

    // The wheel over the box scrolls the grid; the box follows its cell.
    const TRect before = BoxRect();
    RECT screen{};
    GetWindowRect(Box(), &screen);
    auto wheel = [&](int notches) {
        SendMessageW(Box(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(notches * WHEEL_DELTA)),
                     MAKELPARAM(screen.left + 5, screen.top + 5));
    };
    wheel(-1);
    EXPECT_EQ(List->MemoryList->TopRow(), 244);
    EXPECT_EQ(BoxRect().Top, before.Top - 3 * 21);
    wheel(2);
    EXPECT_EQ(List->MemoryList->TopRow(), 238);
    EXPECT_FALSE(IsWindowVisible(Box())) << "its cell is below the grid's foot";
    wheel(-1);
    EXPECT_TRUE(IsWindowVisible(Box()));
    EXPECT_EQ(BoxRect().Top, before.Top);

    // Typed text reaches the cell; Enter validates it and moves on.
    SendMessageW(Box(), EM_SETSEL, 0, -1);
    TypeInBox("14,074,5");
    EXPECT_EQ(Grid().Cells(2, 250), "14,074,5");
    PressKey(VK_RETURN);
    EXPECT_EQ(Grid().Cells(2, 250), "14.074.500");
    EXPECT_EQ(Grid().Col(), 3);
    EXPECT_EQ(GetFocus(), Box());
    PressKey(VK_ESCAPE);
    EXPECT_EQ(Box(), nullptr);
    EXPECT_EQ(GetFocus(), Window());
}

TEST_F(ListFormWin32Test, TheContextMenusShortcutsComeBeforeTheEditBox)
{
    Make({});
    List->Show();
    Pump();
    List->AddMemory("New freq", "USB", 14250000, -1);
    Pump();
    ASSERT_TRUE(Box());
    EXPECT_EQ(SettledFocusIn(Box()), Box()) << "the caption is typed at once";
    EXPECT_EQ(BoxText(), "New freq");
    // Another window in front takes the focus; coming back, the box has it again.
    Main->Show();
    Pump();
    EXPECT_NE(SettledFocus([&](HWND focus) { return focus != Box(); }), Box());
    List->Show();
    Pump();
    EXPECT_EQ(SettledFocusIn(Box()), Box()) << "back in the box";
    TypeInBox("Home\t\r");
    EXPECT_EQ(BoxText(), "Home") << "Tab and Enter are never text";
    EXPECT_EQ(Grid().Cells(0, 1), "Home");
    TFormBitmap bitmap(*List);
    Save(bitmap, L"list-editing.bmp");

    PressKey(VK_INSERT); // "Add record"
    ASSERT_EQ(Grid().RowCount(), 3);
    EXPECT_EQ(Grid().Cells(0, 1), "Home");
    EXPECT_EQ(Grid().Cells(2, 2), "0");
    EXPECT_EQ(Grid().Row(), 2);
    EXPECT_EQ(BoxText(), "");
    EXPECT_EQ(GetFocus(), Box());
    PressKey('N', {VK_CONTROL}); // "Sort by name": the empty caption first
    EXPECT_EQ(Grid().Cells(0, 2), "Home");
    EXPECT_EQ(Grid().Row(), 1) << "the memory being edited stays current";

    PressKey(VK_TAB);
    EXPECT_EQ(Box(), nullptr);
    EXPECT_EQ(List->ActiveControl(), List->FlatButton1) << "Tab goes to Set";
}

TEST_F(ListFormWin32Test, CopyCutAndPasteGoThroughTheSystemsClipboard)
{
    Make({{"Home", "USB", "7.074.000", ""}});
    List->Show();
    Pump();
    auto clipboardText = [this]() {
        std::string text;
        if (OpenClipboard(TWin32Host::WindowOf(*Main))) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
                    text.assign(bytes, strnlen(bytes, GlobalSize(data)));
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        return text;
    };
    auto putOnClipboard = [this](const wchar_t* text) {
        ASSERT_TRUE(OpenClipboard(TWin32Host::WindowOf(*Main)));
        EmptyClipboard();
        const size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        memcpy(GlobalLock(block), text, size);
        GlobalUnlock(block);
        SetClipboardData(CF_UNICODETEXT, block);
        CloseClipboard();
    };

    Grid().SetCurrentCell(1, 1);
    PressKey(VK_INSERT, {VK_CONTROL});
    EXPECT_EQ(clipboardText(), "USB\t\r\n");

    Grid().SetCurrentCell(0, 1);
    PressKey(VK_DELETE, {VK_SHIFT});
    EXPECT_EQ(clipboardText(), "Home\t\r\n");
    EXPECT_EQ(Grid().Cells(0, 1), "");

    putOnClipboard(L"LSB\tnot this\r\nnor this");
    Grid().SetCurrentCell(1, 1);
    PressKey(VK_INSERT, {VK_SHIFT});
    EXPECT_EQ(Grid().Cells(1, 1), "LSB") << "the text as CF_TEXT, up to its TAB";
    EXPECT_EQ(Grid().RowCount(), 2);

    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    PressKey(VK_INSERT, {VK_SHIFT});
    EXPECT_EQ(Grid().Cells(1, 1), "LSB") << "no text on the clipboard changes nothing";
}

} // namespace
