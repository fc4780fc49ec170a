#include <gtest/gtest.h>

#include "ui/Forms.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/win32/Win32Host.h"
#include "widgets/CLEDLbl.h"

namespace {

constexpr TColor kFace = 0x00C8EBEB;
constexpr TColor kVisibleOff = 0x00A0C0C0;

class LEDLabelWin32Test : public ::testing::Test {
protected:
    LEDLabelWin32Test()
    {
        Form = new TForm(&App);
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetColor(clGray);
        Form->SetBounds(100, 100, 229, 80);
        // The main window's three fields, two more, and a control as it is made.
        Field(8, 2, 53, 32, 3, "144", kFace);
        Field(67, 2, 53, 32, 3, "300", kVisibleOff);
        Field(126, 10, 28, 24, 2, "00", kFace);
        Field(160, 2, 53, 32, 3, "---", kFace);
        Field(8, 42, 53, 32, 3, "-1", kVisibleOff);
        auto* fresh = new TCLEDLabel(Form);
        fresh->SetParent(Form);
        fresh->SetBounds(67, 42, 15, 34);
        Form->Show();
        App.ProcessMessages();
    }

    void Field(int left, int top, int width, int height, int32_t numChars, const std::string& text, TColor off)
    {
        auto* led = new TCLEDLabel(Form);
        led->SetParent(Form);
        led->SetBounds(left, top, width, height);
        led->SetNumChars(numChars);
        led->SetOnColor(clBlack);
        led->SetSegmentBorderColor(clBlack);
        led->SetBackGroundColor(kFace);
        led->SetOffColor(off);
        led->SetVertMargine(1);
        led->SetText(text);
    }

    TWin32Host Host;
    TApplication App{Host};
    TForm* Form;
};

TEST_F(LEDLabelWin32Test, BarsAndBackgroundReachThePixels)
{
    TFormBitmap bitmap(*Form);
    CreateDirectoryW(VELKOR_SCREENSHOT_DIR, nullptr);
    EXPECT_TRUE(bitmap.Save(VELKOR_SCREENSHOT_DIR L"\\led.bmp"));

    struct TCase {
        int X, Y;
        TColor Color;
        const char* What;
    };
    const std::vector<TCase> cases = {
        {33, 17, clBlack, "144: middle bar of the 4, lit"},
        {16, 17, kFace, "144: middle bar of the 1, unlit like the background"},
        {75, 4, clBlack, "300: top bar of the 3, lit"},
        {69, 10, kVisibleOff, "300: upper left bar of the 3, unlit"},
        {92, 17, kVisibleOff, "300: middle bar of the 0, unlit"},
        {118, 17, kFace, "300: the strip right of the last cell"},
        {119, 30, kFace, "300: the strip right of the last cell"},
        {137, 16, clBlack, "00: upper right bar"},
        {202, 17, clBlack, "---: middle bar of the last cell"},
        {202, 4, kFace, "---: top bar, unlit"},
        {16, 57, kVisibleOff, "-1: the blank first cell"},
        {33, 57, clBlack, "-1: the minus"},
        {56, 64, clBlack, "-1: lower right bar of the 1"},
        {74, 58, clRed, "fresh control: middle bar of its 8"},
        {67, 42, clBlack, "fresh control: its background"},
        {5, 5, clGray, "the form around the fields"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(bitmap.Pixel(c.X, c.Y), c.Color) << c.What << " at " << c.X << "," << c.Y;
}

} // namespace
