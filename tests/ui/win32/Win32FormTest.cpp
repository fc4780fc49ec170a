#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/win32/Win32Host.h"

namespace {

class TSwatch : public TGraphicControl {
public:
    TSwatch(TWinControl* parent, TColor color) : TGraphicControl(parent)
    {
        SetParent(parent);
        SetColor(color);
    }
    void Paint(TCanvas& canvas) override
    {
        canvas.BrushColor = Color();
        canvas.FillRect(ClientRect());
    }
    void MouseDown(TMouseButton, TShiftState, int x, int y) override { Log.push_back(Format("down %d,%d", x, y)); }
    void MouseUp(TMouseButton, TShiftState, int x, int y) override { Log.push_back(Format("up %d,%d", x, y)); }
    void Click() override { Log.push_back("click"); }
    std::vector<std::string> Log;
};

class Win32FormTest : public ::testing::Test {
protected:
    Win32FormTest()
    {
        Form = new TForm(&App);
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetColor(clBlack);
        Form->SetBounds(120, 80, 229, 103);
        Swatch = new TSwatch(Form, 0x00C8EBEB);
        Swatch->SetBounds(2, 35, 225, 51);
        Form->Show();
        App.ProcessMessages();
    }
    HWND Window() const { return TWin32Host::WindowOf(*Form); }

    TWin32Host Host;
    TApplication App{Host};
    TForm* Form;
    TSwatch* Swatch;
};

TEST_F(Win32FormTest, TheWindowShowsWhatTheModelPaints)
{
    RECT r;
    GetWindowRect(Window(), &r);
    EXPECT_EQ((TRect{r.left, r.top, r.right, r.bottom}), (TRect{120, 80, 349, 183}));
    EXPECT_TRUE(IsWindowVisible(Window()));
    EXPECT_EQ(GetWindowLongPtrW(Window(), GWL_STYLE) & WS_CAPTION, 0) << "no border, no caption";

    TFormBitmap bitmap(*Form);
    EXPECT_EQ(bitmap.Pixel(0, 0), clBlack);
    EXPECT_EQ(bitmap.Pixel(1, 34), clBlack);
    EXPECT_EQ(bitmap.Pixel(2, 35), 0x00C8EBEBu);
    EXPECT_EQ(bitmap.Pixel(226, 85), 0x00C8EBEBu);
    EXPECT_EQ(bitmap.Pixel(227, 86), clBlack);

    // What the window itself shows, through its own painting.
    UpdateWindow(Window());
    HDC screen = GetDC(Window());
    EXPECT_EQ(GetPixel(screen, 10, 40), RGB(0xEB, 0xEB, 0xC8));
    ReleaseDC(Window(), screen);
}

TEST_F(Win32FormTest, MouseMessagesReachTheControlAndThePressCapturesTheMouse)
{
    SendMessageW(Window(), WM_MOUSEMOVE, 0, MAKELPARAM(12, 40));
    SendMessageW(Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 40));
    EXPECT_EQ(GetCapture(), Window());
    SendMessageW(Window(), WM_LBUTTONUP, 0, MAKELPARAM(20, 45));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Swatch->Log, (std::vector<std::string>{"down 10,5", "click", "up 18,10"}));
}

TEST_F(Win32FormTest, TheFormFollowsMovesMadeByTheSystem)
{
    SetWindowPos(Window(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(Form->Left(), 300);
    EXPECT_EQ(Form->Top(), 200);

    TWindowPlacement placement = Form->GetPlacement();
    EXPECT_EQ(placement.NormalPosition, (TRect{300, 200, 529, 303}));
    placement.NormalPosition = {50, 60, 279, 163};
    Form->SetPlacement(placement);
    EXPECT_EQ(Form->BoundsRect(), (TRect{50, 60, 279, 163}));
}

TEST_F(Win32FormTest, MinimisingTheApplicationMinimisesTheMainForm)
{
    EXPECT_EQ(App.MainForm(), Form);
    EXPECT_FALSE(Host.IsApplicationMinimized());
    App.Minimize();
    EXPECT_TRUE(Host.IsApplicationMinimized());
    EXPECT_EQ(Form->WindowState(), TWindowState::wsMinimized);
    EXPECT_EQ(Form->Left(), 120) << "an icon's place is not the form's";
    Form->SetWindowState(TWindowState::wsNormal);
    EXPECT_FALSE(Host.IsApplicationMinimized());
}

TEST_F(Win32FormTest, AWindowThatWentWithItsOwnerLeavesItsFormWithoutAHandle)
{
    auto* owned = new TForm(&App);
    owned->SetBorderStyle(TFormBorderStyle::bsNone);
    owned->SetBounds(400, 80, 60, 40);
    owned->Show();
    HWND ownedWindow = TWin32Host::WindowOf(*owned);
    ASSERT_EQ(GetWindow(ownedWindow, GW_OWNER), Window());

    DestroyWindow(Window()); // the system takes the owned window with it
    EXPECT_FALSE(IsWindow(ownedWindow));
    EXPECT_EQ(owned->Handle(), 0u);
    EXPECT_EQ(Form->Handle(), 0u);

    // What the forms do afterwards finds no window and does nothing.
    HWND bystander = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    owned->SetBounds(410, 90, 60, 40);
    owned->SetCaption("Memories");
    owned->SetBorderStyle(TFormBorderStyle::bsSingle);
    owned->Invalidate();
    owned->Hide();
    owned->Show();
    EXPECT_FALSE(TFormBitmap(*owned).Valid());
    delete owned;
    delete Form;
    EXPECT_TRUE(IsWindow(bystander));
    DestroyWindow(bystander);
}

TEST_F(Win32FormTest, ABitmapWithoutPixelsSaysSoInsteadOfReadingAnywhere)
{
    auto* empty = new TForm(&App);
    empty->SetBorderStyle(TFormBorderStyle::bsNone);
    empty->SetBounds(0, 0, 0, 0);
    TFormBitmap none(*empty);
    EXPECT_FALSE(none.Valid());
    EXPECT_THROW(none.Pixel(0, 0), std::out_of_range);
    EXPECT_FALSE(none.Save(L"nothing.bmp"));

    TFormBitmap whole(*Form);
    ASSERT_TRUE(whole.Valid());
    for (TPoint outside : {TPoint{-1, 0}, TPoint{0, -1}, TPoint{229, 0}, TPoint{0, 103}})
        EXPECT_THROW(whole.Pixel(outside.X, outside.Y), std::out_of_range) << outside.X << "," << outside.Y;
}

TEST_F(Win32FormTest, AHintWindowShowsNearTheMouseAndHides)
{
    Host.ShowHintWindow("Close", {200, 200});
    HWND hint = FindWindowW(L"VelkorHint", nullptr);
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(IsWindowVisible(hint));
    RECT r;
    GetWindowRect(hint, &r);
    EXPECT_EQ((TPoint{r.left, r.top}), (TPoint{200, 200}));
    EXPECT_GT(r.right - r.left, Host.TextExtent(TFont(), "Close").cx) << "the whole text fits";

    TFormBitmap bitmap(hint);
    ASSERT_TRUE(bitmap.Valid());
    EXPECT_EQ(bitmap.Pixel(1, 1), GetSysColor(COLOR_INFOBK));
    EXPECT_GT(bitmap.Count({0, 0, bitmap.Width(), bitmap.Height()}, GetSysColor(COLOR_INFOTEXT)), 10)
        << "the text in the hint's colours";
    Host.HideHintWindow();
    EXPECT_FALSE(IsWindowVisible(hint));
}

// Reads the items of the first popup menu this process shows, then closes it.
class TPopupMenuWatcher {
public:
    TPopupMenuWatcher() : FThread([this] { Watch(); }) {}
    ~TPopupMenuWatcher()
    {
        if (FThread.joinable())
            FThread.join();
    }
    // Each item as "line" or its text, once the watch has ended.
    std::vector<std::string> Items()
    {
        FThread.join();
        return FItems;
    }

private:
    void Watch()
    {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10)) {
            HWND window = FindWindowW(L"#32768", nullptr);
            if (!window || !IsWindowVisible(window))
                continue;
            HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
            for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
                wchar_t text[64] = {};
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_FTYPE | MIIM_STRING;
                info.dwTypeData = text;
                info.cch = 64;
                GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
                FItems.push_back((info.fType & MFT_SEPARATOR) ? "line" : WideToAnsi(text));
            }
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            return;
        }
    }
    std::vector<std::string> FItems;
    std::thread FThread;
};

TEST_F(Win32FormTest, ABandNamedLikeALineIsAnItem)
{
    auto* menu = new TPopupMenu(Form);
    const TNotifyEvent act = [](TObject*) {};
    menu->AddItem(Form, "", "Add record", 0, act);
    menu->AddItem(Form, "", "-", 0, {});
    menu->AddItem(Form, "", "-", 0, act); // a band of that name
    TPopupMenuWatcher watcher;
    EXPECT_EQ(Host.TrackPopupMenu(*menu, {150, 150}), nullptr) << "closed without a choice";
    EXPECT_EQ(watcher.Items(), (std::vector<std::string>{"Add record", "line", "-"}));
}

// The edit box and the clipboard hold Unicode text; what the ANSI code page
// cannot hold of it is told, never passed on as "?" or a look-alike alone.
TEST_F(Win32FormTest, TheEditBoxAndTheClipboardTellWhatTheCodePageCannotHold)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test session's ANSI code page (LANG, LC_ALL) must be 1252";
    struct TEvents : INativeEditEvents {
        void NativeEditChanged() override {}
    } events;
    std::unique_ptr<INativeEdit> edit = Host.CreateNativeEdit(*Form, {2, 2, 200, 22}, TFont(), TEditAlign::Left, events);
    HWND box = FindWindowExW(Window(), nullptr, L"Edit", nullptr);
    ASSERT_TRUE(box);
    const std::pair<const wchar_t*, std::string> cases[] = {
        {L"Jos\u00E9 \u20AC 5", ""}, // in 1252
        {L"Micha\u0142 \u0142\u0151", "\xC5\x82\xC5\x91"},
        {L"\U0001F600 cut \xD800", "\xF0\x9F\x98\x80\xED\xA0\x80"},
    };
    for (const auto& [text, outside] : cases) {
        SetWindowTextW(box, text);
        EXPECT_EQ(edit->CharsOutsideCodePage(), outside) << WideToUtf8(text);
    }

    // Another program's Unicode text, with something past its NUL.
    const wchar_t unicode[] = L"Micha\u0142\0\u0151";
    ASSERT_TRUE(OpenClipboard(Window()));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(unicode));
    memcpy(GlobalLock(block), unicode, sizeof(unicode));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    std::string bytes;
    std::string outside;
    ASSERT_TRUE(Host.GetClipboardText(bytes, outside));
    EXPECT_EQ(outside, "\xC5\x82") << "up to the NUL";
    EXPECT_EQ(bytes.substr(0, 5), "Micha");
    ASSERT_TRUE(Host.SetClipboardText("Jos\xE9"));
    ASSERT_TRUE(Host.GetClipboardText(bytes, outside));
    EXPECT_EQ(outside, "") << "an ANSI text";
}

} // namespace
