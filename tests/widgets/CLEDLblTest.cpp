#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "base/SysUtils.h"
#include "ui/Forms.h"
#include "ui/HeadlessHost.h"
#include "widgets/CLEDLbl.h"

namespace {

using TPoints = std::vector<TPoint>;

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

    TLedOnForm()
    {
        Form->SetBounds(0, 0, 300, 100);
        Led->SetParent(Form);
        Led->SetLeft(8);
        Led->SetTop(2);
    }

    // The main window's frequency field.
    void MakeFrequencyField(const std::string& text)
    {
        Led->SetBounds(8, 2, 53, 32);
        Led->SetNumChars(3);
        Led->SetVertMargine(1);
        Led->SetText(text);
    }

    // What the LED painted, in its own coordinates.
    std::vector<TCanvasCall> Paint()
    {
        std::vector<TCanvasCall> mine;
        for (const TCanvasCall& call : Host.Paint(*Form))
            if (call.Origin == TPoint{Led->Left(), Led->Top()})
                mine.push_back(call);
        return mine;
    }

    std::vector<TCanvasCall> Polygons()
    {
        std::vector<TCanvasCall> polygons;
        for (const TCanvasCall& call : Paint())
            if (call.Kind == TCanvasCall::Polygon)
                polygons.push_back(call);
        return polygons;
    }

    // The characters the cells show, read back from the lit bars; a cell
    // without lit bars reads as a space.
    std::string Shown()
    {
        const std::vector<TCanvasCall> polygons = Polygons();
        std::string shown;
        for (size_t cell = 0; cell + 7 <= polygons.size(); cell += 7) {
            uint8_t mask = 0;
            for (size_t bar = 0; bar < 7; ++bar)
                if (polygons[cell + bar].BrushColor == Led->OnColor())
                    mask |= static_cast<uint8_t>(2u << bar);
            char c = mask ? '?' : ' ';
            for (const auto& [ch, lit] : kLit)
                if (lit == mask)
                    c = ch;
            shown += c;
        }
        return shown;
    }
};

TEST(LEDLabel, BarsHaveTheGeometryOfTheFrequencyFieldAndTheFreshControl)
{
    struct TCase {
        bool FrequencyField;
        size_t Cell;
        int Bar;
        TPoints Points;
    };
    const std::vector<TCase> cases = {
        {true, 0, 1, {{2, 15}, {3, 14}, {13, 14}, {14, 15}, {13, 16}, {3, 16}}},
        {true, 0, 3, {{2, 1}, {14, 1}, {12, 3}, {4, 3}}},
        {true, 0, 4, {{1, 2}, {1, 14}, {3, 12}, {3, 4}}},
        {true, 0, 6, {{2, 29}, {14, 29}, {12, 27}, {4, 27}}},
        {true, 0, 7, {{15, 16}, {15, 28}, {13, 26}, {13, 18}}},
        {true, 2, 2, {{49, 2}, {49, 14}, {47, 12}, {47, 4}}},
        {true, 2, 5, {{35, 16}, {35, 28}, {37, 26}, {37, 18}}},
        {false, 0, 1, {{2, 16}, {3, 15}, {11, 15}, {12, 16}, {11, 17}, {3, 17}}},
        {false, 0, 2, {{13, 3}, {13, 14}, {11, 12}, {11, 5}}},
        {false, 0, 6, {{2, 31}, {12, 31}, {10, 29}, {4, 29}}},
    };
    for (const TCase& c : cases) {
        TLedOnForm f;
        if (c.FrequencyField)
            f.MakeFrequencyField("888");
        const std::vector<TCanvasCall> polygons = f.Polygons();
        ASSERT_EQ(polygons.size(), c.FrequencyField ? 21u : 7u);
        EXPECT_EQ(polygons[c.Cell * 7 + static_cast<size_t>(c.Bar) - 1].Points, c.Points)
            << (c.FrequencyField ? "field" : "fresh") << " cell " << c.Cell << " bar " << c.Bar;
    }
}

TEST(LEDLabel, FrequencyFieldLeavesItsLastPixelsAsBackground)
{
    TLedOnForm f;
    f.MakeFrequencyField("-1");
    f.Led->SetBackGroundColor(0x00C8EBEB);
    const std::vector<TCanvasCall> calls = f.Paint();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].Kind, TCanvasCall::FillRect);
    EXPECT_EQ(calls[0].Rect, (TRect{0, 0, 53, 32}));
    EXPECT_EQ(calls[0].BrushColor, 0x00C8EBEBu);
    for (const TCanvasCall& call : calls)
        for (const TPoint& p : call.Points)
            EXPECT_LT(p.X, 51) << "cells end at 3 x 17";
}

TEST(LEDLabel, LitAndUnlitBarsTakeTheirColoursAndAOnePixelPen)
{
    TLedOnForm f;
    const std::vector<TCanvasCall> fresh = f.Paint();
    ASSERT_EQ(fresh.size(), 8u);
    EXPECT_EQ(fresh[0].BrushColor, clBlack);
    for (size_t i = 1; i < fresh.size(); ++i) {
        EXPECT_EQ(fresh[i].BrushColor, clRed);
        EXPECT_EQ(fresh[i].PenColor, clRed);
        EXPECT_EQ(fresh[i].PenWidth, 1);
        EXPECT_EQ(fresh[i].BrushStyle, TBrushStyle::Solid);
    }

    f.Led->SetText("1");
    f.Led->SetOnColor(clYellow);
    f.Led->SetSegmentBorderColor(clNavy);
    f.Led->SetOffColor(clGray);
    const std::vector<TCanvasCall> one = f.Polygons();
    ASSERT_EQ(one.size(), 7u);
    for (size_t bar = 1; bar <= 7; ++bar) {
        const bool lit = bar == 2 || bar == 7;
        EXPECT_EQ(one[bar - 1].BrushColor, lit ? clYellow : clGray) << "bar " << bar;
        EXPECT_EQ(one[bar - 1].PenColor, lit ? clNavy : clGray) << "bar " << bar;
    }
}

TEST(LEDLabel, OnlyDigitsAndTheMinusLightBars)
{
    const std::string text = "-0123456789 .A\xB8";
    TLedOnForm f;
    f.Led->SetWidth(15 * static_cast<int>(text.size()));
    f.Led->SetNumChars(static_cast<int32_t>(text.size()));
    f.Led->SetText(text);
    f.Led->SetOffColor(clGray);
    EXPECT_EQ(f.Shown(), "-0123456789    ");

    // The glyphs that are easy to get wrong, bar by bar.
    const std::vector<std::pair<std::string, std::vector<int>>> glyphs = {
        {"9", {1, 2, 3, 4, 7}}, {"6", {1, 3, 4, 5, 6, 7}}, {"7", {2, 3, 7}}, {"4", {1, 2, 4, 7}}};
    for (const auto& [digit, bars] : glyphs) {
        f.Led->SetWidth(15);
        f.Led->SetNumChars(1);
        f.Led->SetText(digit);
        std::vector<int> lit;
        const std::vector<TCanvasCall> polygons = f.Polygons();
        for (size_t i = 0; i < polygons.size(); ++i)
            if (polygons[i].BrushColor == clRed)
                lit.push_back(static_cast<int>(i) + 1);
        EXPECT_EQ(lit, bars) << digit;
    }
}

TEST(LEDLabel, TextIsPlacedByAlignmentAndLongTextShowsItsStart)
{
    struct TCase {
        std::string Text;
        int32_t NumChars;
        TTextAlign Alignment;
        std::string Shown;
    };
    const std::vector<TCase> cases = {
        {"5", 3, TTextAlign::TTARight, "  5"}, {"5", 3, TTextAlign::TTALeft, "5  "},
        {"14074", 3, TTextAlign::TTARight, "140"}, {"14074", 3, TTextAlign::TTALeft, "140"},
        {"1.2", 3, TTextAlign::TTARight, "1 2"}, {"---", 2, TTextAlign::TTARight, "--"},
        {"", 2, TTextAlign::TTARight, "  "}, {"-1", 3, TTextAlign::TTARight, " -1"},
    };
    for (const TCase& c : cases) {
        TLedOnForm f;
        f.Led->SetBounds(8, 2, 17 * c.NumChars, 32);
        f.Led->SetNumChars(c.NumChars);
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
        size_t Polygons;
    };
    const std::vector<TCase> cases = {
        {53, 32, 0, 1, 2, 1, 1, 0},        {53, 32, -3, 1, 2, 1, 1, 0},
        {53, 32, INT_MAX, 1, 2, 1, 1, 0},  {9, 34, 1, 1, 2, 1, 2, 7},
        {8, 34, 1, 1, 2, 1, 2, 0},         {15, 19, 1, 1, 2, 1, 2, 7},
        {15, 18, 1, 1, 2, 1, 2, 0},        {15, 34, 1, 1, 0, 1, 2, 0},
        {15, 34, 1, -1, 2, 1, 2, 0},       {15, 34, 1, 1, 2, -1, 2, 0},
        {15, 34, 1, 1, 2, 1, -1, 0},       {15, 34, 1, INT_MAX, 2, 1, 2, 0},
        {15, 34, 1, 1, INT_MAX, 1, 2, 0},  {15, 34, 1, 1, 2, INT_MIN, 2, 0},
        {3, 3, 1, 0, 1, 0, 0, 0},          {10, 9, 1, 0, 1, 0, 0, 7},
    };
    for (const TCase& c : cases) {
        TLedOnForm f;
        f.Led->SetBounds(8, 2, c.Width, c.Height);
        f.Led->SetNumChars(c.NumChars);
        f.Led->SetBorderGap(c.Gap);
        f.Led->SetSegmentThickness(c.Thickness);
        f.Led->SetHorzMargine(c.HorzMargin);
        f.Led->SetVertMargine(c.VertMargin);
        const std::vector<TCanvasCall> calls = f.Paint();
        const std::string what = Format("%dx%d, %d chars, gap %d, thickness %d, margins %d %d", c.Width, c.Height,
                                        c.NumChars, c.Gap, c.Thickness, c.HorzMargin, c.VertMargin);
        ASSERT_FALSE(calls.empty()) << what;
        EXPECT_EQ(calls[0].Kind, TCanvasCall::FillRect) << what;
        EXPECT_EQ(calls.size() - 1, c.Polygons) << what;
        // Bars that are drawn stay inside their cell.
        for (size_t i = 1; i < calls.size(); ++i)
            for (const TPoint& p : calls[i].Points)
                EXPECT_TRUE((TRect{0, 0, c.Width, c.Height}.Contains(p))) << what << ": " << p.X << "," << p.Y;
    }
}

TEST(LEDLabel, PropertiesByNameKeepTheirValuesAndEveryAssignmentRepaints)
{
    TLedOnForm f;
    const std::vector<std::pair<std::string, int32_t>> integers = {
        {"Alignment", 1}, {"BorderGap", 1},      {"SegmentThickness", 2},   {"HorzMargine", 1},
        {"VertMargine", 2}, {"OnColor", 255}, {"BackGroundColor", 0}, {"OffColor", 128},
        {"SegmentBorderColor", 255}, {"NumChars", 1}, {"Width", 15}, {"Height", 34},
    };
    const TRect ledOnForm{8, 2, 23, 36};
    for (const auto& [name, value] : integers) {
        EXPECT_EQ(f.Led->GetIntProp(name), value) << name;
        if (name == "Width" || name == "Height")
            continue;
        f.Paint();
        f.Led->SetIntProp(name, value);
        EXPECT_EQ(f.Host.WindowOf(*f.Form).Invalid, std::vector<TRect>{ledOnForm}) << name << " assigned again";
    }
    EXPECT_EQ(f.Led->GetStrProp("Text"), "8");
    f.Paint();
    f.Led->SetStrProp("Text", "8");
    EXPECT_EQ(f.Host.WindowOf(*f.Form).Invalid, std::vector<TRect>{ledOnForm}) << "Text assigned again";

    f.Led->SetIntProp("OffColor", static_cast<int32_t>(clBtnFace));
    EXPECT_EQ(f.Led->OffColor(), clBtnFace) << "a system colour survives the trip through an integer";
    EXPECT_EQ(static_cast<TColor>(f.Led->GetIntProp("OffColor")), clBtnFace);
    f.Led->SetIntProp("Alignment", 0);
    EXPECT_EQ(f.Led->Alignment(), TTextAlign::TTALeft);
    EXPECT_THROW(f.Led->SetIntProp("Alignment", 2), EInvalidOperation);
    EXPECT_EQ(f.Led->Alignment(), TTextAlign::TTALeft);
}

} // namespace
