#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "widgets/CLEDLbl.h"

namespace {

using enum TTextAlign;

// Lit bars of each character, bit n for bar n.
const std::map<char, uint8_t> kLit = {
    {'-', 0x02}, {'0', 0xFC}, {'1', 0x84}, {'2', 0x6E}, {'3', 0xCE}, {'4', 0x96},
    {'5', 0xDA}, {'6', 0xFA}, {'7', 0x8C}, {'8', 0xFE}, {'9', 0x9E},
};

struct TLedOnForm {
    THeadlessHost Host;
    TApplication App{Host};
    TForm* Form = new TForm(&App);
    TCLEDLabel* Led = new TCLEDLabel(Form);

    TLedOnForm(int width = 15, int height = 34, int32_t numChars = 1)
    {
        Form->SetBounds(0, 0, 300, 100);
        Led->SetParent(Form);
        Led->SetBounds(8, 2, width, height);
        Led->SetNumChars(numChars);
    }

    // What the LED painted: its background, then its bars.
    std::vector<TCanvasCall> Paint()
    {
        std::vector<TCanvasCall> mine;
        for (const TCanvasCall& call : Host.Paint(*Form))
            if (call.Origin == TPoint{8, 2})
                mine.push_back(call);
        return mine;
    }

    // The characters the cells show, read back from the lit bars; a cell
    // without lit bars reads as a space, an unknown shape as "?".
    std::string Shown()
    {
        const std::vector<TCanvasCall> calls = Paint();
        std::string shown;
        for (size_t cell = 1; cell + 7 <= calls.size(); cell += 7) {
            uint8_t mask = 0;
            for (size_t bar = 0; bar < 7; ++bar)
                if (calls[cell + bar].BrushColor == Led->OnColor())
                    mask |= static_cast<uint8_t>(2u << bar);
            char c = mask ? '?' : ' ';
            for (const auto& [ch, lit] : kLit)
                c = lit == mask ? ch : c;
            shown += c;
        }
        return shown;
    }
};

TEST(LEDLabel, BarsHaveTheGeometryOfTheFrequencyFieldAndTheFreshControl)
{
    struct TCase {
        bool Field; // the main window's 53 x 32 field of three, vertical margin 1
        size_t Bar; // counted over all cells from 1
        std::vector<TPoint> Points;
    };
    const std::vector<TCase> cases = {
        {true, 1, {{2, 15}, {3, 14}, {13, 14}, {14, 15}, {13, 16}, {3, 16}}},
        {true, 3, {{2, 1}, {14, 1}, {12, 3}, {4, 3}}},
        {true, 4, {{1, 2}, {1, 14}, {3, 12}, {3, 4}}},
        {true, 6, {{2, 29}, {14, 29}, {12, 27}, {4, 27}}},
        {true, 16, {{49, 2}, {49, 14}, {47, 12}, {47, 4}}},
        {false, 1, {{2, 16}, {3, 15}, {11, 15}, {12, 16}, {11, 17}, {3, 17}}},
        {false, 6, {{2, 31}, {12, 31}, {10, 29}, {4, 29}}},
    };
    for (const TCase& c : cases) {
        TLedOnForm f(c.Field ? 53 : 15, c.Field ? 32 : 34, c.Field ? 3 : 1);
        f.Led->SetVertMargine(c.Field ? 1 : 2);
        f.Led->SetText(c.Field ? "888" : "8");
        const std::vector<TCanvasCall> calls = f.Paint();
        ASSERT_EQ(calls.size(), c.Field ? 22u : 8u);
        EXPECT_EQ(calls[0].Rect, c.Field ? (TRect{0, 0, 53, 32}) : (TRect{0, 0, 15, 34}));
        EXPECT_EQ(calls[c.Bar].Points, c.Points) << (c.Field ? "field" : "fresh") << " bar " << c.Bar;
        for (const TCanvasCall& call : calls)
            for (const TPoint& p : call.Points)
                EXPECT_LT(p.X, c.Field ? 51 : 15) << "past the last cell stays background";
    }
}

TEST(LEDLabel, LitAndUnlitBarsTakeTheirColoursAndAOnePixelPen)
{
    TLedOnForm f;
    for (const TCanvasCall& call : f.Paint())
        EXPECT_EQ(call.BrushColor, call.Kind == TCanvasCall::FillRect ? clBlack : clRed) << "a red 8 on black";

    f.Led->SetText("1");
    f.Led->SetOnColor(clYellow);
    f.Led->SetSegmentBorderColor(clNavy);
    f.Led->SetOffColor(clGray);
    const std::vector<TCanvasCall> calls = f.Paint();
    ASSERT_EQ(calls.size(), 8u);
    for (size_t bar = 1; bar <= 7; ++bar) {
        const bool lit = bar == 2 || bar == 7;
        EXPECT_EQ(calls[bar].BrushColor, lit ? clYellow : clGray) << "bar " << bar;
        EXPECT_EQ(calls[bar].PenColor, lit ? clNavy : clGray) << "bar " << bar;
        EXPECT_EQ(calls[bar].PenWidth, 1);
    }
}

TEST(LEDLabel, DigitsAndMinusLightTheirBarsAndTextIsPlacedByAlignment)
{
    struct TCase {
        std::string Text;
        int32_t NumChars;
        TTextAlign Alignment;
        std::string Shown;
    };
    const std::vector<TCase> cases = {
        {"-0123456789 .A\xB8", 15, TTARight, "-0123456789    "},
        {"5", 3, TTARight, "  5"}, {"5", 3, TTALeft, "5  "},
        {"14074", 3, TTARight, "140"}, {"14074", 3, TTALeft, "140"},
        {"1.2", 3, TTARight, "1 2"}, {"", 2, TTARight, "  "},
    };
    for (const TCase& c : cases) {
        TLedOnForm f(17 * c.NumChars, 32, c.NumChars);
        f.Led->SetAlignment(c.Alignment);
        f.Led->SetText(c.Text);
        EXPECT_EQ(f.Shown(), c.Shown) << c.Text << " in " << c.NumChars;
    }
}

TEST(LEDLabel, WithoutRoomForTheBarsOnlyTheBackgroundIsDrawn)
{
    struct TCase {
        int Width, Height;
        int32_t NumChars, Gap, Thickness, HorzMargin, VertMargin;
        size_t Bars;
    };
    const std::vector<TCase> cases = {
        {53, 32, 0, 1, 2, 1, 1, 0},       {53, 32, -3, 1, 2, 1, 1, 0},     {53, 32, INT_MAX, 1, 2, 1, 1, 0},
        {9, 34, 1, 1, 2, 1, 2, 7},        {8, 34, 1, 1, 2, 1, 2, 0},       {15, 19, 1, 1, 2, 1, 2, 7},
        {15, 18, 1, 1, 2, 1, 2, 0},       {15, 34, 1, 1, 0, 1, 2, 0},      {15, 34, 1, -1, 2, 1, 2, 0},
        {15, 34, 1, 1, 2, INT_MIN, 2, 0}, {15, 34, 1, INT_MAX, 2, 1, 2, 0}, {10, 9, 1, 0, 1, 0, 0, 7},
    };
    for (const TCase& c : cases) {
        TLedOnForm f(c.Width, c.Height, c.NumChars);
        f.Led->SetBorderGap(c.Gap);
        f.Led->SetSegmentThickness(c.Thickness);
        f.Led->SetHorzMargine(c.HorzMargin);
        f.Led->SetVertMargine(c.VertMargin);
        const std::vector<TCanvasCall> calls = f.Paint();
        const std::string what = Format("%dx%d, %d chars, gap %d, thickness %d, margins %d %d", c.Width, c.Height,
                                        c.NumChars, c.Gap, c.Thickness, c.HorzMargin, c.VertMargin);
        ASSERT_EQ(calls.size(), c.Bars + 1) << what;
        EXPECT_EQ(calls[0].Kind, TCanvasCall::FillRect) << what;
        for (const TCanvasCall& call : calls)
            for (const TPoint& p : call.Points)
                EXPECT_TRUE((TRect{0, 0, c.Width, c.Height}.Contains(p))) << what << ": " << p.X << "," << p.Y;
    }
}

TEST(LEDLabel, PropertiesByNameKeepTheirValuesAndEveryAssignmentRepaints)
{
    TLedOnForm f;
    const std::vector<std::pair<std::string, int32_t>> defaults = {
        {"Alignment", 1}, {"BorderGap", 1},       {"SegmentThickness", 2}, {"HorzMargine", 1},
        {"VertMargine", 2}, {"OnColor", 255},     {"BackGroundColor", 0},  {"OffColor", 128},
        {"SegmentBorderColor", 255}, {"NumChars", 1},
    };
    const std::vector<TRect> ledOnForm{{8, 2, 23, 36}};
    for (const auto& [name, value] : defaults) {
        EXPECT_EQ(f.Led->GetIntProp(name), value) << name;
        f.Paint();
        f.Led->SetIntProp(name, value);
        EXPECT_EQ(f.Host.WindowOf(*f.Form).Invalid, ledOnForm) << name << " assigned again";
    }
    EXPECT_EQ(f.Led->GetStrProp("Text"), "8");
    f.Paint();
    f.Led->SetStrProp("Text", "8");
    EXPECT_EQ(f.Host.WindowOf(*f.Form).Invalid, ledOnForm) << "Text assigned again";

    f.Led->SetIntProp("OffColor", static_cast<int32_t>(clBtnFace));
    EXPECT_EQ(f.Led->OffColor(), clBtnFace) << "a system colour survives the trip through an integer";
    f.Led->SetIntProp("Alignment", 0);
    EXPECT_THROW(f.Led->SetIntProp("Alignment", 2), EInvalidOperation);
    EXPECT_EQ(f.Led->Alignment(), TTextAlign::TTALeft);
}

} // namespace
