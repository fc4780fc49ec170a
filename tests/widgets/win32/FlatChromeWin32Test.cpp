#include <gtest/gtest.h>

#include "ui/Forms.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/win32/Win32Host.h"
#include "widgets/TFlatSpeedButtonUnit.h"
#include "widgets/TFlatTitlebarUnit.h"

namespace {

constexpr TColor kTitle = 9211797;

// The title bars of both windows on borderless forms, as the program builds them.
class FlatChromeWin32Test : public ::testing::Test {
protected:
    FlatChromeWin32Test()
    {
        Main = MakeForm(120, 80, 229, 40);
        MainBar = MakeBar(*Main, 225, 18, "None");
        Close = MakeButton(208, "X", "Close");
        Minimize = MakeButton(192, "", "Minimize");
        Minimize->SetGlyph(MinimizeGlyph());
        List = MakeForm(120, 200, 535, 40);
        MakeBar(*List, 531, 19, "Memories");
        Main->Show();
        List->Show(); // takes the activation from the main window
        App.ProcessMessages();
    }

    TForm* MakeForm(int left, int top, int width, int height)
    {
        auto* form = new TForm(&App);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetColor(clBlack);
        form->SetBounds(left, top, width, height);
        return form;
    }

    TFlatTitlebar* MakeBar(TForm& form, int width, int height, const std::string& caption)
    {
        auto* bar = new TFlatTitlebar(&form);
        bar->SetParent(&form);
        bar->SetBounds(2, 2, width, height);
        bar->SetCaption(caption);
        bar->SetTitlebarColor(kTitle);
        bar->SetInactiveTextColor(clSilver);
        bar->Font().SetSize(8);
        bar->Font().SetStyle(fsBold);
        return bar;
    }

    TFlatSpeedButton* MakeButton(int left, const std::string& caption, const std::string& hint)
    {
        auto* button = new TFlatSpeedButton(Main);
        button->SetParent(MainBar);
        button->SetBounds(left, 2, 16, 15);
        button->SetCaption(caption);
        button->SetHint(hint);
        button->SetShowHint(true);
        for (const char* prop : {"Color", "ColorDown", "ColorBorder", "ColorHighLight"})
            button->SetIntProp(prop, kTitle);
        button->SetColorFocused(clGray);
        button->SetColorShadow(clBlack);
        return button;
    }

    static void Send(TForm& form, UINT message, WPARAM keys, int x, int y)
    {
        SendMessageW(TWin32Host::WindowOf(form), message, keys, MAKELPARAM(x, y));
    }

    TWin32Host Host;
    TApplication App{Host};
    TForm* Main;
    TForm* List;
    TFlatTitlebar* MainBar;
    TFlatSpeedButton* Close;
    TFlatSpeedButton* Minimize;
};

TEST_F(FlatChromeWin32Test, BarsShowTheirColourCaptionAndActivity)
{
    // The mouse is over "X", so it shows its mouse-over look.
    Send(*Main, WM_MOUSEMOVE, 0, 2 + 208 + 8, 2 + 2 + 7);
    TFormBitmap main(*Main);
    TFormBitmap list(*List);
    CreateDirectoryW(VELKOR_SCREENSHOT_DIR, nullptr);
    EXPECT_TRUE(main.Save(VELKOR_SCREENSHOT_DIR L"\\chrome-main.bmp"));
    EXPECT_TRUE(list.Save(VELKOR_SCREENSHOT_DIR L"\\chrome-list.bmp"));

    EXPECT_FALSE(MainBar->Active());
    struct TCase {
        const TFormBitmap& Bitmap;
        int X, Y;
        TColor Color;
        const char* What;
    };
    const std::vector<TCase> cases = {
        {main, 3, 3, kTitle, "main bar"},
        {main, 1, 1, clBlack, "main form around the bar"},
        {main, 195, 4, kTitle, "minimise glyph: its white ground left out"},
        {main, 200, 14, clBlack, "minimise glyph: the bar"},
        {main, 212, 6, clGray, "X under the mouse: face"},
        {main, 225, 10, clBlack, "X under the mouse: right edge"},
        {main, 212, 4, kTitle, "X under the mouse: top edge"},
        {list, 3, 3, kTitle, "list bar"},
        {list, 530, 18, kTitle, "list bar, far corner"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.Bitmap.Pixel(c.X, c.Y), c.Color) << c.What << " at " << c.X << "," << c.Y;

    // Captions in the middle of their bars, in the colour of their window's activity.
    EXPECT_GT(main.Count({80, 2, 150, 20}, clSilver), 10) << "\"None\", inactive";
    EXPECT_EQ(main.Count({2, 2, 80, 20}, clSilver), 0);
    EXPECT_GT(list.Count({230, 2, 310, 21}, clWhite), 10) << "\"Memories\", active";
    EXPECT_EQ(list.Count({2, 2, 230, 21}, clWhite), 0);
    EXPECT_GT(main.Count({211, 5, 224, 18}, clBlack), 5) << "\"X\" in black";
}

TEST_F(FlatChromeWin32Test, DraggingTheBarMovesTheWindowWithTheMouseCaptured)
{
    HWND window = TWin32Host::WindowOf(*Main);
    Send(*Main, WM_LBUTTONDOWN, MK_LBUTTON, 52, 11);
    EXPECT_EQ(GetCapture(), window);
    Send(*Main, WM_MOUSEMOVE, MK_LBUTTON, 52 + 37, 11 - 20);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ((TPoint{r.left, r.top}), (TPoint{120 + 37, 80 - 20}));
    Send(*Main, WM_LBUTTONUP, 0, 52, 11);
    EXPECT_EQ(GetCapture(), nullptr);
    Send(*Main, WM_MOUSEMOVE, 0, 80, 15);
    GetWindowRect(window, &r);
    EXPECT_EQ((TPoint{r.left, r.top}), (TPoint{157, 60}));

    int clicks = 0;
    Close->OnClick = [&](TObject*) { ++clicks; };
    Send(*Main, WM_LBUTTONDOWN, MK_LBUTTON, 215, 10);
    Send(*Main, WM_MOUSEMOVE, MK_LBUTTON, 250, 30);
    Send(*Main, WM_LBUTTONUP, 0, 215, 10);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Main->Left(), 157) << "the press on X moved nothing";
}

} // namespace
